#include "gui/win32/WinDialog_win32.h"

#include <commctrl.h>

#include <cstring>
#include <vector>

#include "core/Exception.h"
#include "core/Guarded.h"
#include "core/WideText_win32.h"
#include "gui/ErrorReport.h"

namespace quorvel {

namespace {

// Bytes of an extended dialog template (DLGTEMPLATEEX).
using TTemplate = std::vector<unsigned char>;

std::size_t SkipWideText(const TTemplate& Bytes, std::size_t Offset) {
    while (Offset + 1 < Bytes.size() && (Bytes[Offset] != 0 || Bytes[Offset + 1] != 0)) Offset += 2;
    return Offset + 2;
}

// A menu or class field: empty, an ordinal, or a text.
std::size_t SkipNameOrOrdinal(const TTemplate& Bytes, std::size_t Offset) {
    if (Offset + 1 >= Bytes.size()) return Bytes.size();
    const unsigned first = Bytes[Offset] | (Bytes[Offset + 1] << 8);
    if (first == 0) return Offset + 2;
    if (first == 0xFFFF) return Offset + 4;
    return SkipWideText(Bytes, Offset);
}

// The template with Face in place of its font's face, in the Japanese
// character set. Returns the template unchanged when it is not an extended
// one with a font.
TTemplate WithFontFace(TTemplate Bytes, std::wstring_view Face) {
    constexpr std::size_t header = 26;  // up to and with the dialog's rectangle
    if (Bytes.size() < header || Bytes[2] != 0xFF || Bytes[3] != 0xFF) return Bytes;
    DWORD style = 0;
    std::memcpy(&style, Bytes.data() + 12, sizeof style);
    if ((style & DS_SETFONT) == 0) return Bytes;
    std::size_t offset = SkipNameOrOrdinal(Bytes, header);  // menu
    offset = SkipNameOrOrdinal(Bytes, offset);              // class
    offset = SkipWideText(Bytes, offset);                   // caption
    const std::size_t faceAt = offset + 6;                  // after size, weight, italic, character set
    const std::size_t itemsAt = (SkipWideText(Bytes, faceAt) + 3) & ~std::size_t{3};
    if (itemsAt > Bytes.size()) return Bytes;

    TTemplate patched(Bytes.begin(), Bytes.begin() + static_cast<std::ptrdiff_t>(faceAt));
    style &= ~static_cast<DWORD>(DS_FIXEDSYS);  // a face of its own, not the shell's
    std::memcpy(patched.data() + 12, &style, sizeof style);
    patched[faceAt - 1] = SHIFTJIS_CHARSET;
    for (wchar_t c : Face) {
        patched.push_back(static_cast<unsigned char>(c & 0xFF));
        patched.push_back(static_cast<unsigned char>(c >> 8));
    }
    patched.push_back(0);
    patched.push_back(0);
    while (patched.size() % 4 != 0) patched.push_back(0);
    patched.insert(patched.end(), Bytes.begin() + static_cast<std::ptrdiff_t>(itemsAt), Bytes.end());
    return patched;
}

TTemplate LoadTemplate(int Id) {
    HMODULE module = ::GetModuleHandleW(nullptr);
    HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(Id), MAKEINTRESOURCEW(5) /* RT_DIALOG */);
    HGLOBAL loaded = found != nullptr ? ::LoadResource(module, found) : nullptr;
    const void* data = loaded != nullptr ? ::LockResource(loaded) : nullptr;
    if (data == nullptr) throw Exception("The dialog " + std::to_string(Id) + " is missing from the program");
    const auto* bytes = static_cast<const unsigned char*>(data);
    return TTemplate(bytes, bytes + ::SizeofResource(module, found));
}

std::function<void()>& RefusalSound() {
    static std::function<void()> sound;
    return sound;
}

int CALLBACK NoteFont(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM Found) {
    *reinterpret_cast<bool*>(Found) = true;
    return 0;
}

// Names the buttons of the message box that is about to open on this thread.
thread_local HHOOK ButtonNamer = nullptr;

LRESULT CALLBACK NameButtons(int Code, WPARAM WParam, LPARAM LParam) {
    if (Code == HCBT_ACTIVATE) {
        HWND box = reinterpret_cast<HWND>(WParam);
        ::SetDlgItemTextW(box, IDOK, L"OK");
        ::SetDlgItemTextW(box, IDCANCEL, L"キャンセル");
        ::UnhookWindowsHookEx(ButtonNamer);
        ButtonNamer = nullptr;
        return 0;
    }
    return ::CallNextHookEx(nullptr, Code, WParam, LParam);
}

}  // namespace

INT_PTR TWinDialog::ShowModal(HWND Owner) {
    // The list view and the links of the dialogs.
    static const bool controlsReady = [] {
        const INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), ICC_LISTVIEW_CLASSES | ICC_LINK_CLASS};
        return ::InitCommonControlsEx(&classes) != FALSE;
    }();
    (void)controlsReady;
    TTemplate bytes = LoadTemplate(FTemplateId);
    if (FontInstalled(DialogFontFace)) bytes = WithFontFace(std::move(bytes), DialogFontFace);
    // The template must be DWORD-aligned.
    std::vector<DWORD> aligned((bytes.size() + 3) / 4);
    std::memcpy(aligned.data(), bytes.data(), bytes.size());
    const INT_PTR result =
        ::DialogBoxIndirectParamW(::GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(aligned.data()), Owner,
                                  Procedure, reinterpret_cast<LPARAM>(this));
    if (result == -1) {
        throw Exception("The dialog cannot be shown (" + std::to_string(::GetLastError()) + ")");
    }
    return result;
}

INT_PTR CALLBACK TWinDialog::Procedure(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam) {
    if (Message == WM_INITDIALOG) {
        auto* dialog = reinterpret_cast<TWinDialog*>(LParam);
        dialog->FHandle = Window;
        ::SetWindowLongPtrW(Window, DWLP_USER, LParam);
    }
    auto* dialog = reinterpret_cast<TWinDialog*>(::GetWindowLongPtrW(Window, DWLP_USER));
    if (dialog == nullptr) return FALSE;
    INT_PTR handled = FALSE;
    bool failed = true;
    Guarded(ShowErrorReport, [&] {
        handled = dialog->HandleMessage(Message, WParam, LParam);
        failed = false;
    });
    // A dialog that could not be filled is not left half made.
    if (failed && Message == WM_INITDIALOG) ::EndDialog(Window, IDCANCEL);
    if (Message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(Window, DWLP_USER, 0);
        dialog->FHandle = nullptr;
    }
    return handled;
}

void TWinDialog::EndModal(INT_PTR Result) const {
    ::EndDialog(FHandle, Result);
}

std::string TWinDialog::ItemText(int Id) const {
    HWND item = Item(Id);
    const int length = ::GetWindowTextLengthW(item);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(item, text.data(), length + 1)));
    return Utf8FromWide(text);
}

void TWinDialog::SetItemText(int Id, std::string_view Text) const {
    ::SetWindowTextW(Item(Id), WideFromUtf8(Text).c_str());
}

bool FontInstalled(std::wstring_view Face) {
    LOGFONTW font{};
    font.lfCharSet = DEFAULT_CHARSET;
    if (Face.size() >= LF_FACESIZE) return false;
    Face.copy(font.lfFaceName, Face.size());
    bool found = false;
    HDC screen = ::GetDC(nullptr);
    ::EnumFontFamiliesExW(screen, &font, NoteFont, reinterpret_cast<LPARAM>(&found), 0);
    ::ReleaseDC(nullptr, screen);
    return found;
}

void RefuseInput(HWND Dialog, int Id) {
    ::SendMessageW(Dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(::GetDlgItem(Dialog, Id)), TRUE);
    if (RefusalSound()) {
        RefusalSound()();
    } else {
        ::MessageBeep(MB_OK);
    }
}

void SetRefusalSoundForTesting(std::function<void()> Sound) {
    RefusalSound() = std::move(Sound);
}

int AskOkCancel(HWND Owner, const std::string& Question, const std::string& Caption) {
    const std::wstring question = WideFromUtf8(Question);
    const std::wstring caption = WideFromUtf8(Caption);
    ButtonNamer = ::SetWindowsHookExW(WH_CBT, NameButtons, nullptr, ::GetCurrentThreadId());
    const int answer =
        ::MessageBoxW(Owner, question.c_str(), caption.c_str(), MB_OKCANCEL | MB_ICONQUESTION | MB_DEFBUTTON1);
    if (ButtonNamer != nullptr) {
        ::UnhookWindowsHookEx(ButtonNamer);
        ButtonNamer = nullptr;
    }
    return answer == IDOK ? IDOK : IDCANCEL;
}

void CenterOnScreen(HWND Window) {
    RECT frame{};
    ::GetWindowRect(Window, &frame);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    ::GetMonitorInfoW(::MonitorFromWindow(Window, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& area = monitor.rcWork;
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    ::SetWindowPos(Window, nullptr, area.left + (area.right - area.left - width) / 2,
                   area.top + (area.bottom - area.top - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace quorvel
