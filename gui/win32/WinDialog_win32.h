#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>

namespace quorvel {

// What the Windows dialogs share: a modal dialog made from a template of
// resources/windows/dialogs.rc, texts of its controls in UTF-8, the refusal
// of an OK, and placing.
//
// A form derives from TWinDialog, handles its messages in HandleMessage and
// is shown with ShowModal. Exceptions never leave the dialog's procedure:
// one that a handler lets escape goes to the general error report.
class TWinDialog {
public:
    virtual ~TWinDialog() = default;

    // Shows the dialog modally over Owner (disabled meanwhile, so a hidden
    // owner keeps its tray icons and menu working) and returns the result
    // given to EndDialog. Raises quorvel::Exception when it cannot be made.
    INT_PTR ShowModal(HWND Owner);

    HWND Handle() const { return FHandle; }
    HWND Item(int Id) const { return ::GetDlgItem(FHandle, Id); }
    std::string ItemText(int Id) const;
    void SetItemText(int Id, std::string_view Text) const;

protected:
    // Ends the modal loop with Result.
    void EndModal(INT_PTR Result) const;

    explicit TWinDialog(int TemplateId) : FTemplateId(TemplateId) {}
    // Returns TRUE for a message handled, FALSE to leave it to the dialog
    // manager (as a dialog procedure does).
    virtual INT_PTR HandleMessage(UINT Message, WPARAM WParam, LPARAM LParam) = 0;

private:
    static INT_PTR CALLBACK Procedure(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam);

    int FTemplateId;
    HWND FHandle = nullptr;
};

// The face the dialogs are drawn in where it is installed; otherwise the
// system's dialog font of the templates stays.
inline constexpr std::wstring_view DialogFontFace = L"ＭＳ Ｐゴシック";
bool FontInstalled(std::wstring_view Face);

// Refuses a dialog's OK: the focus goes to the control Id and the default
// beep sounds (MessageBeep). No message is shown.
void RefuseInput(HWND Dialog, int Id);
// Replaces the beep of RefuseInput, so tests can count it; an empty
// function brings back the system's beep.
void SetRefusalSoundForTesting(std::function<void()> Sound);

// Asks Question in a message box with Caption, the question icon, and the
// buttons "OK" (the default, Enter) and "キャンセル" (Esc), whatever the
// system's language. Returns IDOK or IDCANCEL.
int AskOkCancel(HWND Owner, const std::string& Question, const std::string& Caption);

// Places the window in the middle of the work area of its monitor.
void CenterOnScreen(HWND Window);

}  // namespace quorvel
