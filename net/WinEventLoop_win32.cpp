#include "net/WinEventLoop_win32.h"

// winsock2.h must come before windows.h.
#include <winsock2.h>

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string_view>
#include <vector>

#include "core/Exception.h"
#include "net/WindowClass_win32.h"

namespace quorvel {

namespace {

constexpr UINT SocketMessage = WM_APP + 1;
constexpr long long ProbeSliceMs = 250;
constexpr wchar_t WindowClass[] = L"QuorvelEventLoop";

LRESULT CALLBACK LoopWindowProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam) {
    if (Message == WM_TIMER || Message == SocketMessage) {
        auto* loop = reinterpret_cast<TWinEventLoop*>(::GetWindowLongPtrW(Window, GWLP_USERDATA));
        if (loop != nullptr) loop->HandleMessage(Message, WParam, LParam);
        return 0;
    }
    return ::DefWindowProcW(Window, Message, WParam, LParam);
}

HWND AsWindow(void* Window) {
    return static_cast<HWND>(Window);
}

}  // namespace

struct TWinEventLoop::TimerEntry {
    std::function<void()> OnTick;
    bool Running = false;
};

// Winsock tells each state once (and again only after the call that
// re-enables it); what comes while the handler is not interested is kept
// here and told when interest returns. A close stays told: the socket stays
// closed.
struct TWinEventLoop::WatchEntry {
    std::function<void(TSocketReadiness)> OnReady;
    bool Read = false;
    bool Write = false;
    bool ReadSeen = false;
    bool WriteSeen = false;
    bool ConnectSeen = false;
    bool CloseSeen = false;
    int ConnectError = 0;
    int CloseError = 0;
};

namespace {

class WinTimer final : public IEventTimer {
public:
    WinTimer(HWND Window, UINT_PTR Id, std::shared_ptr<TWinEventLoop::TimerEntry> Entry, std::function<void()> Forget)
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
    std::shared_ptr<TWinEventLoop::TimerEntry> FEntry;
    std::function<void()> FForget;
};

constexpr long AllSocketEvents = FD_READ | FD_WRITE | FD_ACCEPT | FD_CONNECT | FD_CLOSE;

// Every notification is asked for once; interest only filters them.
class WinSocketWatch final : public ISocketWatch {
public:
    WinSocketWatch(HWND Window, SOCKET Socket, std::shared_ptr<TWinEventLoop::WatchEntry> Entry,
                   std::function<void()> Forget)
        : FWindow(Window), FSocket(Socket), FEntry(std::move(Entry)), FForget(std::move(Forget)) {
        ::WSAAsyncSelect(FSocket, FWindow, SocketMessage, AllSocketEvents);
    }
    ~WinSocketWatch() override {
        ::WSAAsyncSelect(FSocket, FWindow, 0, 0);
        FForget();
    }
    void SetInterest(bool Read, bool Write) override {
        TWinEventLoop::WatchEntry& entry = *FEntry;
        entry.Read = Read;
        entry.Write = Write;
        // What was told meanwhile is told again, through the queue: handlers
        // run only inside the pump.
        long events = 0;
        int error = 0;
        if (Read && entry.ReadSeen) events |= FD_READ;
        if ((Read || Write) && entry.CloseSeen) {
            events |= FD_CLOSE;
            error = entry.CloseError;
        }
        if (Write && entry.WriteSeen) events |= FD_WRITE;
        if (Write && entry.ConnectSeen) {
            events |= FD_CONNECT;
            error = entry.ConnectError;
        }
        if (events != 0)
            ::PostMessageW(FWindow, SocketMessage, static_cast<WPARAM>(FSocket),
                           static_cast<LPARAM>(WSAMAKESELECTREPLY(events, error)));
    }

private:
    HWND FWindow;
    SOCKET FSocket;
    std::shared_ptr<TWinEventLoop::WatchEntry> FEntry;
    std::function<void()> FForget;
};

}  // namespace

TWinEventLoop::TWinEventLoop(std::function<void(const std::string&)> Reporter) : FReporter(std::move(Reporter)) {
    const HINSTANCE instance = RegisterWindowClass(WindowClass, LoopWindowProc);
    HWND window = ::CreateWindowExW(0, WindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
    if (window == nullptr) throw Exception("the event loop's window cannot be made");
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    FWindow = window;
}

TWinEventLoop::~TWinEventLoop() {
    ::SetWindowLongPtrW(AsWindow(FWindow), GWLP_USERDATA, 0);
    ::DestroyWindow(AsWindow(FWindow));
}

namespace {

// Hands a message for a control of a dialog to the dialog manager; true
// when it took the message.
bool IsDialogKey(MSG& Message) {
    if (Message.hwnd == nullptr || Message.message < WM_KEYFIRST || Message.message > WM_KEYLAST) return false;
    HWND root = ::GetAncestor(Message.hwnd, GA_ROOT);
    wchar_t name[8] = {};
    if (root == nullptr || ::GetClassNameW(root, name, 8) == 0 || std::wstring_view(name) != L"#32770") return false;
    return ::IsDialogMessageW(root, &Message) != FALSE;
}

}  // namespace

void TWinEventLoop::PumpOnce() {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // Left for the program's own message loop.
            ::PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        // A dialog's keys (Tab, Enter, Esc, accelerators) work as in the
        // dialog's own loop, also while a wait inside one of its handlers
        // pumps the messages.
        if (IsDialogKey(message)) continue;
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
}

void TWinEventLoop::WaitForEvents() {
    WaitForEventsFor(std::chrono::milliseconds(-1));
}

void TWinEventLoop::WaitForEventsFor(std::chrono::milliseconds Limit) {
    // Returns at once when input is already queued, else sleeps until it is
    // (or until the limit; a negative one is none). While a socket is
    // watched the sleep is cut into slices, after each of which the sockets
    // are asked directly: Winsock under Wine loses a notification now and
    // then (a connect the peer closed at once, a socket on a handle just
    // freed), and a lost one must not stall a wait until its time-out.
    using Clock = std::chrono::steady_clock;
    const bool limited = Limit.count() >= 0;
    const auto end = Clock::now() + (limited ? Limit : std::chrono::milliseconds(0));
    for (;;) {
        long long ms = limited ? std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count() : -1;
        if (limited && ms < 0) ms = 0;
        const bool watching = AnyInterest();
        if (watching && (ms < 0 || ms > ProbeSliceMs)) ms = ProbeSliceMs;
        const DWORD wait = ms < 0 ? INFINITE : static_cast<DWORD>(ms);
        const DWORD woken = ::MsgWaitForMultipleObjectsEx(0, nullptr, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (woken != WAIT_TIMEOUT) break;
        if (watching && ProbeSockets()) break;
        if (limited && Clock::now() >= end) break;
    }
    PumpOnce();
}

bool TWinEventLoop::AnyInterest() const {
    for (const auto& [socket, entry] : FWatches)
        if (entry->Read || entry->Write) return true;
    return false;
}

bool TWinEventLoop::ProbeSockets() {
    std::vector<WSAPOLLFD> asked;
    for (const auto& [socket, entry] : FWatches) {
        if (!entry->Read && !entry->Write) continue;
        const SHORT events = static_cast<SHORT>((entry->Read ? POLLRDNORM : 0) | (entry->Write ? POLLWRNORM : 0));
        asked.push_back({static_cast<SOCKET>(socket), events, 0});
    }
    if (asked.empty() || ::WSAPoll(asked.data(), static_cast<ULONG>(asked.size()), 0) <= 0) return false;
    bool posted = false;
    for (const WSAPOLLFD& probe : asked) {
        long events = 0;
        int error = 0;
        if (probe.revents & POLLRDNORM) events |= FD_READ;
        if (probe.revents & POLLWRNORM) events |= FD_WRITE | FD_CONNECT;
        if (probe.revents & (POLLHUP | POLLERR)) {
            events |= FD_CLOSE | FD_CONNECT;
            int length = sizeof(error);
            ::getsockopt(probe.fd, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length);
        }
        if (events == 0) continue;
        ::PostMessageW(AsWindow(FWindow), SocketMessage, static_cast<WPARAM>(probe.fd),
                       static_cast<LPARAM>(WSAMAKESELECTREPLY(events, error)));
        posted = true;
    }
    return posted;
}

std::unique_ptr<ICommandLineLoop> MakeCommandLineLoop(std::function<void(const std::string&)> Reporter) {
    return std::make_unique<TWinEventLoop>(std::move(Reporter));
}

std::unique_ptr<IEventTimer> TWinEventLoop::CreateTimer(std::function<void()> OnTick) {
    const std::uintptr_t id = FNextTimerId++;
    auto entry = std::make_shared<TimerEntry>();
    entry->OnTick = std::move(OnTick);
    FTimers[id] = entry;
    return std::make_unique<WinTimer>(AsWindow(FWindow), id, entry, [this, id] { FTimers.erase(id); });
}

std::unique_ptr<ISocketWatch> TWinEventLoop::WatchSocket(int Fd, std::function<void(TSocketReadiness)> OnReady) {
    const auto socket = static_cast<SOCKET>(Fd);
    auto entry = std::make_shared<WatchEntry>();
    entry->OnReady = std::move(OnReady);
    FWatches[socket] = entry;
    return std::make_unique<WinSocketWatch>(AsWindow(FWindow), socket, entry,
                                            [this, socket] { FWatches.erase(socket); });
}

void TWinEventLoop::ReportError(const std::string& Message) {
    if (FReporter) {
        FReporter(Message);
    } else {
        std::fprintf(stderr, "quorvel: %s\n", Message.c_str());
    }
}

void TWinEventLoop::HandleMessage(unsigned Message, std::uintptr_t WParam, std::intptr_t LParam) {
    // No exception may leave through the window procedure.
    RunGuarded([&] {
        if (Message == WM_TIMER)
            OnTimer(WParam);
        else
            OnSocket(WParam, LParam);
    });
}

void TWinEventLoop::OnTimer(std::uintptr_t Id) {
    const auto found = FTimers.find(Id);
    if (found == FTimers.end()) return;
    // Held while it runs: the handler may destroy its own timer.
    const std::shared_ptr<TimerEntry> entry = found->second;
    if (entry->Running) entry->OnTick();
}

void TWinEventLoop::OnSocket(std::uintptr_t Socket, std::intptr_t Event) {
    const auto found = FWatches.find(Socket);
    if (found == FWatches.end()) return;  // a watch that has ended since
    const std::shared_ptr<WatchEntry> entry = found->second;
    const long event = WSAGETSELECTEVENT(Event);
    const int error = WSAGETSELECTERROR(Event);
    TSocketReadiness readiness;
    if (event & (FD_READ | FD_ACCEPT)) (entry->Read ? readiness.Readable : entry->ReadSeen) = true;
    if (event & FD_WRITE) (entry->Write ? readiness.Writable : entry->WriteSeen) = true;
    // A close ends every wait: a connect that the peer closed at once may be
    // told by the close alone, and a blocked send can go no further.
    if (event & FD_CLOSE) {
        entry->CloseSeen = true;
        entry->CloseError = error;
        readiness.Readable = readiness.Readable || entry->Read;
        readiness.Writable = readiness.Writable || entry->Write;
        if (entry->Read || entry->Write) readiness.Error = error;
    }
    if (event & FD_CONNECT) {
        if (entry->Write) {
            readiness.Writable = true;
            readiness.Error = error;
            entry->ConnectSeen = false;
        } else {
            entry->ConnectSeen = true;
            entry->ConnectError = error;
        }
    }
    if (readiness.Readable) entry->ReadSeen = false;
    if (readiness.Writable) entry->WriteSeen = false;
    if (readiness.Readable || readiness.Writable) entry->OnReady(readiness);
}

}  // namespace quorvel
