#include "gui/win32/AccountListForm_win32.h"

#include <commctrl.h>

#include <algorithm>
#include <exception>

#include "core/Exception.h"
#include "core/WideText_win32.h"
#include "resources/windows/DialogIds.h"
#include "settings/AccountListText.h"
#include "settings/SystemCodePage.h"

namespace quorvel {

namespace {

struct TColumn {
    const wchar_t* Header;
    int Width;  // pixels at 96 dpi
    int Format;
};
constexpr TColumn Columns[] = {
    {L"Server name", 120, LVCFMT_LEFT},
    {L"Port", 35, LVCFMT_RIGHT},
    {L"UserID", 70, LVCFMT_LEFT},
    {L"Password", 70, LVCFMT_LEFT},
};

// The smallest client area, in pixels at 96 dpi.
constexpr int MinimumWidth = 320;
constexpr int MinimumHeight = 200;

int ScreenDpi() {
    HDC screen = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSX);
    ::ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

// One "*" per byte of the password as the system code page holds it.
std::string PasswordMask(const std::string& Password) {
    try {
        return MaskedText(ToSystemCodePage(Password));
    } catch (const std::exception&) {
        return MaskedText(Password);
    }
}

// The wide-character forms of the list view's messages.
void SetCellText(HWND List, int Row, int Column, const std::string& Text) {
    std::wstring wide = WideFromUtf8(Text);
    LVITEMW cell{};
    cell.iSubItem = Column;
    cell.pszText = wide.data();
    ::SendMessageW(List, LVM_SETITEMTEXTW, static_cast<WPARAM>(Row), reinterpret_cast<LPARAM>(&cell));
}

int TextWidth(HWND List, const wchar_t* Text) {
    return static_cast<int>(::SendMessageW(List, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(Text)));
}

}  // namespace

TAccountListForm::TAccountListForm(TAccounts& Accounts) : TWinDialog(IDD_ACCOUNT_LIST), FAccounts(&Accounts) {}

void TAccountListForm::FormCreate() {
    FList = Item(IDC_ACCOUNT_LIST_VIEW);
    // The list has no label; its text names it for a screen reader.
    ::SetWindowTextW(FList, L"Accounts");
    ListView_SetExtendedListViewStyle(FList, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    const int dpi = ScreenDpi();
    int columnsWidth = 2 * ::GetSystemMetrics(SM_CXEDGE) + ::GetSystemMetrics(SM_CXVSCROLL);
    for (int i = 0; i < static_cast<int>(std::size(Columns)); ++i) {
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
        column.fmt = Columns[i].Format;
        column.pszText = const_cast<wchar_t*>(Columns[i].Header);
        // A header caption is never cut, whatever the font.
        column.cx = std::max(MulDiv(Columns[i].Width, dpi, 96), TextWidth(FList, Columns[i].Header) + 16);
        column.iSubItem = i;
        ::SendMessageW(FList, LVM_INSERTCOLUMNW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column));
        columnsWidth += column.cx;
    }

    // At least the designed client area and room for every column.
    RECT client{};
    ::GetClientRect(Handle(), &client);
    const int width = std::max({static_cast<int>(client.right), MulDiv(MinimumWidth, dpi, 96), columnsWidth});
    const int height = std::max(static_cast<int>(client.bottom), MulDiv(MinimumHeight, dpi, 96));
    RECT frame{0, 0, width, height};
    ::AdjustWindowRectEx(&frame, static_cast<DWORD>(::GetWindowLongPtrW(Handle(), GWL_STYLE)), FALSE,
                         static_cast<DWORD>(::GetWindowLongPtrW(Handle(), GWL_EXSTYLE)));
    FMinimumSize = {frame.right - frame.left, frame.bottom - frame.top};
    ::SetWindowPos(Handle(), nullptr, 0, 0, FMinimumSize.cx, FMinimumSize.cy, SWP_NOMOVE | SWP_NOZORDER);
    LayOut();
    SetAccounts();
    CenterOnScreen(Handle());
}

void TAccountListForm::LayOut() {
    RECT client{};
    ::GetClientRect(Handle(), &client);
    RECT button{0, 0, 50, 16};
    ::MapDialogRect(Handle(), &button);
    const int buttonWidth = button.right;
    const int buttonHeight = button.bottom;
    const int top = client.bottom - buttonHeight;
    ::MoveWindow(FList, 0, 0, client.right, top, TRUE);
    ::MoveWindow(Item(IDC_ACCOUNT_ADD), 0, top, buttonWidth, buttonHeight, TRUE);
    ::MoveWindow(Item(IDC_ACCOUNT_CHANGE), buttonWidth + 1, top, buttonWidth, buttonHeight, TRUE);
    ::MoveWindow(Item(IDC_ACCOUNT_DELETE), 2 * (buttonWidth + 1), top, buttonWidth, buttonHeight, TRUE);
    ::MoveWindow(Item(IDC_ACCOUNT_CLOSE), client.right - buttonWidth, top, buttonWidth, buttonHeight, TRUE);
}

void TAccountListForm::SetAccounts() {
    ListView_DeleteAllItems(FList);
    for (std::int32_t i = 0; i < FAccounts->Count(); ++i) {
        // A row that cannot be made is left out.
        try {
            AddRow(FAccounts->Items(i));
        } catch (const std::exception&) {}
    }
    UpdateActionStates();
}

int TAccountListForm::AddRow(TAccount& Account) {
    LVITEMW row{};
    row.mask = LVIF_PARAM | LVIF_TEXT;
    row.iItem = ListView_GetItemCount(FList);
    row.pszText = const_cast<wchar_t*>(L"");
    row.lParam = reinterpret_cast<LPARAM>(&Account);
    const int index = static_cast<int>(::SendMessageW(FList, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&row)));
    if (index < 0) throw Exception("The account list cannot take another row");
    try {
        ShowRowTexts(index, Account);
        ListView_SetCheckState(FList, index, Account.Enabled);
    } catch (...) {
        ListView_DeleteItem(FList, index);
        throw;
    }
    return index;
}

void TAccountListForm::ShowRowTexts(int Row, const TAccount& Account) {
    const TAccountRowTexts texts = AccountRowTexts(Account);
    SetCellText(FList, Row, 0, texts.Host);
    SetCellText(FList, Row, 1, texts.Port);
    SetCellText(FList, Row, 2, texts.UserID);
    SetCellText(FList, Row, 3, PasswordMask(Account.Password));
}

int TAccountListForm::SelectedRow() const {
    return ListView_GetNextItem(FList, -1, LVNI_SELECTED);
}

TAccount* TAccountListForm::RowAccount(int Row) const {
    LVITEMW row{};
    row.mask = LVIF_PARAM;
    row.iItem = Row;
    if (!::SendMessageW(FList, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&row))) return nullptr;
    auto* account = reinterpret_cast<TAccount*>(row.lParam);
    if (account == nullptr || FAccounts->IndexOf(*account) < 0) return nullptr;
    return account;
}

void TAccountListForm::UpdateActionStates() {
    const bool selected = SelectedRow() >= 0;
    ::EnableWindow(Item(IDC_ACCOUNT_ADD), TRUE);
    ::EnableWindow(Item(IDC_ACCOUNT_CHANGE), selected);
    ::EnableWindow(Item(IDC_ACCOUNT_DELETE), selected);
}

void TAccountListForm::AddAccountActionExecute() {
    TAccountInformationForm form;
    form.Fill(FieldsForNewAccount());
    form.CertificateFetcher = CertificateFetcher;
    form.SetSecurity(SecurityForNewAccount());
    if (form.ShowModal(Handle()) != IDOK) return;
    TAccount& account = FAccounts->Add();
    try {
        ApplyAccountFields(account, form.Fields());
        ListView_SetCheckState(FList, AddRow(account), TRUE);
    } catch (const std::exception&) {
        // A half-made account does not stay.
        FAccounts->Remove(account);
    }
}

void TAccountListForm::ChangeAccountActionExecute() {
    const int row = SelectedRow();
    TAccount* account = row >= 0 ? RowAccount(row) : nullptr;
    if (account == nullptr) return;
    TAccountInformationForm form;
    form.Fill(FieldsForAccount(*account));
    form.CertificateFetcher = CertificateFetcher;
    form.SetSecurity(account->Security);
    form.SetCertFingerprint(account->CertFingerprint);
    if (form.ShowModal(Handle()) != IDOK) return;
    // The account may have gone while the dialog was open.
    account = RowAccount(row);
    if (account == nullptr) return;
    ApplyAccountFields(*account, form.Fields());
    ShowRowTexts(row, *account);
}

void TAccountListForm::DeleteAccountActionExecute() {
    const int row = SelectedRow();
    const TAccount* account = row >= 0 ? RowAccount(row) : nullptr;
    if (account == nullptr) return;
    if (AskOkCancel(Handle(), DeleteAccountQuestion(*account), "確認") != IDOK) return;
    account = RowAccount(row);
    if (account != nullptr) FAccounts->Remove(*account);
    ListView_DeleteItem(FList, row);
    // No row is selected after a delete.
    ListView_SetItemState(FList, -1, 0, LVIS_SELECTED);
    UpdateActionStates();
}

void TAccountListForm::FormClose() {
    const int count = ListView_GetItemCount(FList);
    for (int i = 0; i < count; ++i) {
        TAccount* account = RowAccount(i);
        if (account == nullptr) continue;
        const bool ticked = ListView_GetCheckState(FList, i) != 0;
        if (account->Enabled != ticked) account->Enabled = ticked;
    }
}

INT_PTR TAccountListForm::HandleMessage(UINT Message, WPARAM WParam, LPARAM LParam) {
    switch (Message) {
        case WM_INITDIALOG: FormCreate(); return TRUE;
        case WM_SIZE: LayOut(); return TRUE;
        case WM_GETMINMAXINFO:
            reinterpret_cast<MINMAXINFO*>(LParam)->ptMinTrackSize = {FMinimumSize.cx, FMinimumSize.cy};
            return TRUE;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(LParam);
            // Selection and check box changes; text changes do no harm.
            if (header->idFrom == IDC_ACCOUNT_LIST_VIEW && header->code == LVN_ITEMCHANGED &&
                (reinterpret_cast<const NMLISTVIEW*>(LParam)->uChanged & LVIF_STATE) != 0) {
                UpdateActionStates();
            }
            return FALSE;
        }
        case WM_CLOSE:
            // The title-bar close and Alt+F4: nothing is stored.
            FormClose();
            EndModal(IDCANCEL);
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(WParam)) {
                case IDC_ACCOUNT_CLOSE:
                    FormClose();
                    EndModal(IDOK);
                    return TRUE;
                case IDC_ACCOUNT_ADD: AddAccountActionExecute(); return TRUE;
                case IDC_ACCOUNT_CHANGE: ChangeAccountActionExecute(); return TRUE;
                case IDC_ACCOUNT_DELETE: DeleteAccountActionExecute(); return TRUE;
                // Esc (IDCANCEL) and Enter away from a button (IDOK) do nothing.
                case IDOK:
                case IDCANCEL: return TRUE;
            }
            return FALSE;
    }
    return FALSE;
}

}  // namespace quorvel
