// The wake-up as a message posted to a hidden window of the loop's thread:
// every loop of this program pumps all of its thread's messages.
#include <windows.h>

#include <mutex>
#include <system_error>

#include "net/LoopWake.h"
#include "net/WindowClass_win32.h"

namespace quorvel {

namespace {

constexpr UINT WakeMessage = WM_APP + 2;
constexpr wchar_t WindowClass[] = L"QuorvelLoopWake";

// The window goes before the wake does, under the lock, so a late Wake
// posts to no window at all.
class PostingSender final : public ILoopWakeSender {
public:
    void Wake() override {
        std::lock_guard<std::mutex> guard(Lock);
        if (Window != nullptr) ::PostMessageW(Window, WakeMessage, 0, 0);
    }
    std::mutex Lock;
    HWND Window = nullptr;
};

class WindowWake final : public ILoopWake {
public:
    WindowWake(IEventLoop& loop, std::function<void()> onWake)
        : Loop(loop), Posting(std::make_shared<PostingSender>()), OnWake(std::move(onWake)) {
        const HINSTANCE instance = RegisterWindowClass(WindowClass, WindowProc);
        HWND window = ::CreateWindowExW(0, WindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
        if (window == nullptr)
            throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(), "CreateWindowExW");
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        Posting->Window = window;
    }
    ~WindowWake() override {
        HWND window = nullptr;
        {
            std::lock_guard<std::mutex> guard(Posting->Lock);
            window = Posting->Window;
            Posting->Window = nullptr;
        }
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        ::DestroyWindow(window);
    }
    std::shared_ptr<ILoopWakeSender> Sender() const override { return Posting; }

private:
    static LRESULT CALLBACK WindowProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam) {
        if (Message != WakeMessage) return ::DefWindowProcW(Window, Message, WParam, LParam);
        auto* self = reinterpret_cast<WindowWake*>(::GetWindowLongPtrW(Window, GWLP_USERDATA));
        if (self != nullptr) {
            // Nothing may leave through the window procedure; the handler
            // may destroy this object.
            IEventLoop& loop = self->Loop;
            std::function<void()> handler = self->OnWake;
            loop.RunGuarded(handler);
        }
        return 0;
    }

    IEventLoop& Loop;
    std::shared_ptr<PostingSender> Posting;
    std::function<void()> OnWake;
};

}  // namespace

std::unique_ptr<ILoopWake> MakeLoopWake(IEventLoop& Loop, std::function<void()> OnWake) {
    return std::make_unique<WindowWake>(Loop, std::move(OnWake));
}

}  // namespace quorvel
