#include "tests/windialogs/DialogDriver_win32.h"

// After windows.h.
#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <thread>
#include <vector>

#include "core/WideText_win32.h"
#include "net/WinEventLoop_win32.h"

namespace {

constexpr auto Patience = std::chrono::seconds(10);

std::vector<HWND> ThreadWindows(DWORD Thread) {
    std::vector<HWND> windows;
    ::EnumThreadWindows(
        Thread,
        [](HWND Window, LPARAM List) {
            reinterpret_cast<std::vector<HWND>*>(List)->push_back(Window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&windows));
    return windows;
}

std::wstring ClassOf(HWND Window) {
    wchar_t name[64] = {};
    ::GetClassNameW(Window, name, 64);
    return name;
}

// Under Wine without a window manager, every window that closes holds the
// program up for two seconds while Wine waits for a manager to take it
// back. Wine draws the frames itself for a program it does not hand to a
// manager; this asks so for this test program only. Wine reads it as the
// program starts, so it holds from the program's next run on (ctest runs it
// once before, tests/windialogs/CMakeLists.txt); Windows ignores it.
const bool UnmanagedUnderWine = [] {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring name(path, length);
    name.erase(0, name.find_last_of(L"\\/") + 1);
    const std::wstring key = L"Software\\Wine\\AppDefaults\\" + name + L"\\X11 Driver";
    return ::RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), L"Managed", REG_SZ, L"N", 2 * sizeof(wchar_t)) ==
           ERROR_SUCCESS;
}();

}  // namespace

void TDialogDriver::Run(const std::function<void()>& Show, const std::function<void(TDialogDriver&)>& Script) {
    const DWORD thread = ::GetCurrentThreadId();
    std::atomic<bool> shown{false};
    std::string failure;
    std::thread driver([&] {
        TDialogDriver self(thread);
        try {
            Script(self);
        } catch (const std::exception& error) {
            failure = error.what();
        }
        // Whatever the script left open is closed, so the test goes on.
        const auto end = std::chrono::steady_clock::now() + Patience;
        while (!shown && std::chrono::steady_clock::now() < end) {
            for (HWND window : ThreadWindows(thread)) {
                if (::IsWindowVisible(window)) ::PostMessageW(window, WM_CLOSE, 0, 0);
            }
            ::Sleep(100);
        }
    });
    try {
        Show();
    } catch (const std::exception& error) {
        ADD_FAILURE() << "the dialog failed: " << error.what();
    }
    shown = true;
    driver.join();
    if (!failure.empty()) ADD_FAILURE() << failure;
}

void TDialogDriver::WaitFor(const std::function<bool()>& Condition, const char* What,
                            const std::function<std::string()>& Explain) {
    const auto end = std::chrono::steady_clock::now() + Patience;
    while (!Condition()) {
        if (std::chrono::steady_clock::now() > end) {
            std::string message = std::string("timed out waiting for ") + What;
            if (Explain) message += Explain();
            throw std::runtime_error(message);
        }
        ::Sleep(20);
    }
}

HWND TDialogDriver::WaitForDialog(const std::string& Caption) {
    HWND found = nullptr;
    const auto seen = [&] {
        std::string windows = "; the thread has";
        for (HWND window : ThreadWindows(FThread)) {
            windows += " [" + quorvel::Utf8FromWide(ClassOf(window)) + " \"" + Text(window) + "\"" +
                       (::IsWindowVisible(window) ? "" : " hidden") + "]";
        }
        return windows;
    };
    WaitFor(
        [&] {
            for (HWND window : ThreadWindows(FThread)) {
                if (ClassOf(window) == L"#32770" && ::IsWindowVisible(window) && Text(window) == Caption) {
                    found = window;
                    return true;
                }
            }
            return false;
        },
        ("the window \"" + Caption + "\"").c_str(), seen);
    return found;
}

void TDialogDriver::WaitUntilClosed(HWND Window) {
    WaitFor([&] { return ::IsWindow(Window) == FALSE; }, "a window to close");
}

HWND TDialogDriver::Control(HWND Dialog, int Id) {
    HWND control = ::GetDlgItem(Dialog, Id);
    if (control == nullptr) throw std::runtime_error("no control " + std::to_string(Id));
    return control;
}

std::string TDialogDriver::Text(HWND Window) {
    DWORD_PTR length = 0;
    ::SendMessageTimeoutW(Window, WM_GETTEXTLENGTH, 0, 0, SMTO_BLOCK, 5000, &length);
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    ::SendMessageTimeoutW(Window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_BLOCK, 5000,
                          &copied);
    text.resize(copied);
    return quorvel::Utf8FromWide(text);
}

void TDialogDriver::SetText(HWND Dialog, int Id, const std::string& Text) {
    const std::wstring text = quorvel::WideFromUtf8(Text);
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutW(Control(Dialog, Id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_BLOCK, 5000,
                          &ignored);
}

HWND TDialogDriver::Focus() {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    ::GetGUIThreadInfo(FThread, &info);
    return info.hwndFocus;
}

void TDialogDriver::Click(HWND Dialog, int Id) {
    ::PostMessageW(Dialog, WM_COMMAND, MAKEWPARAM(Id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(Dialog, Id)));
}

void TDialogDriver::Key(WORD VirtualKey) {
    HWND target = Focus();
    ::PostMessageW(target, WM_KEYDOWN, VirtualKey, 1);
    ::PostMessageW(target, WM_KEYUP, VirtualKey, static_cast<LPARAM>(0xC0000001u));
}

void TDialogDriver::CloseByTitleBar(HWND Dialog) {
    ::PostMessageW(Dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
}

void TDialogDriver::Screenshot(HWND Window, const std::string& Name) {
    const char* folder = std::getenv("QUORVEL_DIALOG_SHOTS");
    if (folder == nullptr || *folder == '\0') return;
    // Painted now, frame and controls (the dialog's thread paints while this
    // waits), and read from the window itself, not from the screen, which
    // Wine updates a moment later.
    ::RedrawWindow(Window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    RECT frame{};
    ::GetWindowRect(Window, &frame);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    HDC screen = ::GetWindowDC(Window);
    HDC copy = ::CreateCompatibleDC(screen);
    HBITMAP picture = ::CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = ::SelectObject(copy, picture);
    ::BitBlt(copy, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    ::SelectObject(copy, old);
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    const int stride = (width * 3 + 3) & ~3;
    std::vector<char> pixels(static_cast<std::size_t>(stride) * height);
    ::GetDIBits(copy, picture, 0, static_cast<UINT>(height), pixels.data(), reinterpret_cast<BITMAPINFO*>(&header),
                DIB_RGB_COLORS);
    ::DeleteObject(picture);
    ::DeleteDC(copy);
    ::ReleaseDC(Window, screen);
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
    std::ofstream out(std::string(folder) + "\\" + Name + ".bmp", std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof file);
    out.write(reinterpret_cast<const char*>(&header), sizeof header);
    out.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
}

int TDialogDriver::RowCount(HWND List) {
    return static_cast<int>(::SendMessageW(List, LVM_GETITEMCOUNT, 0, 0));
}

std::string TDialogDriver::Cell(HWND List, int Row, int Column) {
    wchar_t text[256] = {};
    LVITEMW cell{};
    cell.iSubItem = Column;
    cell.pszText = text;
    cell.cchTextMax = 256;
    ::SendMessageW(List, LVM_GETITEMTEXTW, static_cast<WPARAM>(Row), reinterpret_cast<LPARAM>(&cell));
    return quorvel::Utf8FromWide(text);
}

bool TDialogDriver::Checked(HWND List, int Row) {
    const auto state = ::SendMessageW(List, LVM_GETITEMSTATE, static_cast<WPARAM>(Row), LVIS_STATEIMAGEMASK);
    return ((state & LVIS_STATEIMAGEMASK) >> 12) == 2;
}

void TDialogDriver::SetChecked(HWND List, int Row, bool Checked) {
    LVITEMW item{};
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = INDEXTOSTATEIMAGEMASK(Checked ? 2 : 1);
    ::SendMessageW(List, LVM_SETITEMSTATE, static_cast<WPARAM>(Row), reinterpret_cast<LPARAM>(&item));
}

void TDialogDriver::Select(HWND List, int Row) {
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    ::SendMessageW(List, LVM_SETITEMSTATE, static_cast<WPARAM>(Row), reinterpret_cast<LPARAM>(&item));
}

void TWaitingSignIn::SignIn(const quorvel::TAccount&, quorvel::ISignInProgress& Progress) {
    quorvel::TWinEventLoop loop;
    Cancelled = false;
    Progress.AddressReady("https://login.example/authorize?client_id=id&scope=" + std::string(400, 'x'));
    Progress.BrowserFailed("no browser");
    const auto end = std::chrono::steady_clock::now() + Patience;
    Waiting = true;
    while (!Cancelled && std::chrono::steady_clock::now() < end) loop.WaitForEventsFor(std::chrono::milliseconds(50));
    Waiting = false;
    throw std::runtime_error("the sign-in ended");
}
