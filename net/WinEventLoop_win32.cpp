#include "net/WinEventLoop_win32.h"

// winsock2.h must come before windows.h.
#include <winsock2.h>

#include <windows.h>

#include <cstdio>

#include "core/Exception.h"

namespace quorvel {

namespace {

constexpr UINT SocketMessage = WM_APP + 1;
constexpr wchar_t WindowClass[] = L"QuorvelEventLoop";

LRESULT CALLBACK LoopWindowProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam) {
    if (Message == WM_TIMER || Message == SocketMessage) {
        auto* loop = reinterpret_cast<WinEventLoop*>(::GetWindowLongPtrW(Window, GWLP_USERDATA));
        if (loop != nullptr) loop->HandleMessage(Message, WParam, LParam);
        return 0;
    }
    return ::DefWindowProcW(Window, Message, WParam, LParam);
}

HWND AsWindow(void* Window) {
    return static_cast<HWND>(Window);
}

}  // namespace

struct WinEventLoop::TimerEntry {
    std::function<void()> OnTick;
    bool Running = false;
};

struct WinEventLoop::WatchEntry {
    std::function<void(SocketReadiness)> OnReady;
    bool Read = false;
    bool Write = false;
};

namespace {

class WinTimer final : public EventTimer {
public:
    WinTimer(HWND Window, UINT_PTR Id, std::shared_ptr<WinEventLoop::TimerEntry> Entry, std::function<void()> Forget)
        : FWindow(Window), FId(Id), FEntry(std::move(Entry)), FForget(std::move(Forget)) {}
    ~WinTimer() override {
        Stop();
        FForget();
    }
    void Start(std::uint32_t IntervalMs) override {
        FEntry->Running = ::SetTimer(FWindow, FId, IntervalMs, nullptr) != 0;
    }
    void Stop() override {
        if (FEntry->Running) ::KillTimer(FWindow, FId);
        FEntry->Running = false;
    }

private:
    HWND FWindow;
    UINT_PTR FId;
    std::shared_ptr<WinEventLoop::TimerEntry> FEntry;
    std::function<void()> FForget;
};

class WinSocketWatch final : public SocketWatch {
public:
    WinSocketWatch(HWND Window, SOCKET Socket, std::shared_ptr<WinEventLoop::WatchEntry> Entry,
                   std::function<void()> Forget)
        : FWindow(Window), FSocket(Socket), FEntry(std::move(Entry)), FForget(std::move(Forget)) {}
    ~WinSocketWatch() override {
        ::WSAAsyncSelect(FSocket, FWindow, 0, 0);
        FForget();
    }
    void SetInterest(bool Read, bool Write) override {
        FEntry->Read = Read;
        FEntry->Write = Write;
        long events = 0;
        if (Read) events |= FD_READ | FD_ACCEPT | FD_CLOSE;
        if (Write) events |= FD_WRITE | FD_CONNECT;
        ::WSAAsyncSelect(FSocket, FWindow, events != 0 ? SocketMessage : 0, events);
    }

private:
    HWND FWindow;
    SOCKET FSocket;
    std::shared_ptr<WinEventLoop::WatchEntry> FEntry;
    std::function<void()> FForget;
};

}  // namespace

WinEventLoop::WinEventLoop(std::function<void(const std::string&)> Reporter) : FReporter(std::move(Reporter)) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = LoopWindowProc;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = WindowClass;
    // A second loop finds the class already there.
    ::RegisterClassExW(&windowClass);
    HWND window =
        ::CreateWindowExW(0, WindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, windowClass.hInstance, nullptr);
    if (window == nullptr) throw Exception("the event loop's window cannot be made");
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    FWindow = window;
}

WinEventLoop::~WinEventLoop() {
    ::SetWindowLongPtrW(AsWindow(FWindow), GWLP_USERDATA, 0);
    ::DestroyWindow(AsWindow(FWindow));
}

void WinEventLoop::PumpOnce() {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // Left for the program's own message loop.
            ::PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
}

void WinEventLoop::WaitForEvents() {
    // Returns at once when input is already queued, else sleeps until it is.
    ::MsgWaitForMultipleObjectsEx(0, nullptr, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    PumpOnce();
}

std::unique_ptr<EventTimer> WinEventLoop::CreateTimer(std::function<void()> OnTick) {
    const std::uintptr_t id = FNextTimerId++;
    auto entry = std::make_shared<TimerEntry>();
    entry->OnTick = std::move(OnTick);
    FTimers[id] = entry;
    return std::make_unique<WinTimer>(AsWindow(FWindow), id, entry, [this, id] { FTimers.erase(id); });
}

std::unique_ptr<SocketWatch> WinEventLoop::WatchSocket(int Fd, std::function<void(SocketReadiness)> OnReady) {
    const auto socket = static_cast<SOCKET>(Fd);
    auto entry = std::make_shared<WatchEntry>();
    entry->OnReady = std::move(OnReady);
    FWatches[socket] = entry;
    return std::make_unique<WinSocketWatch>(AsWindow(FWindow), socket, entry,
                                            [this, socket] { FWatches.erase(socket); });
}

void WinEventLoop::ReportException(const std::exception& Error) {
    if (FReporter) {
        FReporter(Error.what());
    } else {
        std::fprintf(stderr, "quorvel: %s\n", Error.what());
    }
}

void WinEventLoop::HandleMessage(unsigned Message, std::uintptr_t WParam, std::intptr_t LParam) {
    // No exception may leave through the window procedure.
    try {
        if (Message == WM_TIMER)
            OnTimer(WParam);
        else
            OnSocket(WParam, LParam);
    } catch (const std::exception& error) {
        ReportException(error);
    }
}

void WinEventLoop::OnTimer(std::uintptr_t Id) {
    const auto found = FTimers.find(Id);
    if (found == FTimers.end()) return;
    // Held while it runs: the handler may destroy its own timer.
    const std::shared_ptr<TimerEntry> entry = found->second;
    if (entry->Running) entry->OnTick();
}

void WinEventLoop::OnSocket(std::uintptr_t Socket, std::intptr_t Event) {
    const auto found = FWatches.find(Socket);
    if (found == FWatches.end()) return;  // a watch that has ended since
    const std::shared_ptr<WatchEntry> entry = found->second;
    const auto event = WSAGETSELECTEVENT(Event);
    const bool failed = WSAGETSELECTERROR(Event) != 0;
    SocketReadiness readiness;
    readiness.Readable = entry->Read && ((event & (FD_READ | FD_ACCEPT | FD_CLOSE)) != 0 || failed);
    readiness.Writable = entry->Write && ((event & (FD_WRITE | FD_CONNECT)) != 0 || failed);
    if (readiness.Readable || readiness.Writable) entry->OnReady(readiness);
}

}  // namespace quorvel
