#include "gui/win32/OptionForm_win32.h"

#include <optional>
#include <string>

#include "resources/windows/DialogIds.h"
#include "settings/DialogFields.h"

namespace quorvel {

TOptionForm::TOptionForm() : TWinDialog(IDD_OPTIONS) {}

void TOptionForm::FormCreate() {
    SetItemText(IDC_CHECK_TIME_EDIT, std::to_string(FMinutes));
    ::CheckDlgButton(Handle(), IDC_RUN_ON_STARTUP, FRunAtStartup ? BST_CHECKED : BST_UNCHECKED);
    CenterOnScreen(Handle());
}

bool TOptionForm::FormCloseQuery() {
    const std::optional<std::uint32_t> minutes = IntervalMinutesFromText(ItemText(IDC_CHECK_TIME_EDIT));
    if (!minutes) {
        RefuseInput(Handle(), IDC_CHECK_TIME_EDIT);
        return false;
    }
    FMinutes = *minutes;
    FRunAtStartup = ::IsDlgButtonChecked(Handle(), IDC_RUN_ON_STARTUP) == BST_CHECKED;
    return true;
}

INT_PTR TOptionForm::HandleMessage(UINT Message, WPARAM WParam, LPARAM) {
    switch (Message) {
        case WM_INITDIALOG: FormCreate(); return TRUE;
        case WM_COMMAND:
            switch (LOWORD(WParam)) {
                case IDOK:
                    if (FormCloseQuery()) EndModal(IDOK);
                    return TRUE;
                case IDCANCEL: EndModal(IDCANCEL); return TRUE;
            }
            return FALSE;
    }
    return FALSE;
}

}  // namespace quorvel
