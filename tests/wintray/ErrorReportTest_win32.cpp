#include "gui/ErrorReport.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "core/WideText_win32.h"

namespace quorvel {
namespace {

// Waits (at most 20 s) for the message box captioned "Quorvel", notes the
// texts of its static controls and presses OK.
class TBoxReader {
public:
    TBoxReader()
        : FThread([this] {
              const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
              while (std::chrono::steady_clock::now() < end) {
                  HWND box = ::FindWindowW(L"#32770", L"Quorvel");
                  if (box != nullptr) {
                      ::EnumChildWindows(box, Collect, reinterpret_cast<LPARAM>(this));
                      ::PostMessageW(box, WM_COMMAND, IDOK, 0);
                      Seen = true;
                      return;
                  }
                  std::this_thread::sleep_for(std::chrono::milliseconds(50));
              }
          }) {}
    ~TBoxReader() { Join(); }
    void Join() {
        if (FThread.joinable()) FThread.join();
    }

    std::atomic<bool> Seen{false};
    std::wstring Texts;  // the static texts, each followed by "|"

private:
    static BOOL CALLBACK Collect(HWND Child, LPARAM Self) {
        wchar_t name[32] = {};
        ::GetClassNameW(Child, name, 32);
        if (std::wstring(name) != L"Static") return TRUE;
        wchar_t text[512] = {};
        ::GetWindowTextW(Child, text, 512);
        reinterpret_cast<TBoxReader*>(Self)->Texts += std::wstring(text) + L"|";
        return TRUE;
    }

    std::thread FThread;
};

TEST(ErrorReport, AMessageBoxShowsTheMessageAndTheProgramGoesOn) {
    const struct {
        std::string Message;
        std::wstring Shown;
    } cases[] = {
        {"'' のデータ型が不正です", L"'' のデータ型が不正です"},
        {"bad \x80 byte", L"bad \uFFFD byte"},  // no UTF-8: still shown
    };
    for (const auto& c : cases) {
        std::wstring texts;
        bool seen = false;
        {
            TBoxReader reader;
            ShowErrorReport(c.Message);  // returns once OK is pressed
            reader.Join();
            seen = reader.Seen;
            texts = reader.Texts;
        }
        EXPECT_TRUE(seen) << c.Message;
        EXPECT_NE(texts.find(c.Shown + L"|"), std::wstring::npos) << Utf8FromWide(texts);
    }
}

}  // namespace
}  // namespace quorvel
