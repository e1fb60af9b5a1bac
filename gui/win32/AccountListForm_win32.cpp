#include "gui/win32/AccountListForm_win32.h"

#include <commctrl.h>

#include <algorithm>

#include "core/Exception.h"
#include "core/WideText_win32.h"
#include "gui/win32/AccountInformationForm_win32.h"
#include "resources/windows/DialogIds.h"

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

TAccountListForm::TAccountListForm(TAccountListPresenter& Presenter)
    : TWinDialog(IDD_ACCOUNT_LIST), FPresenter(Presenter) {}

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
    FPresenter.FormCreate(*this);
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

void TAccountListForm::AddRow(const TAccountRowTexts& Texts, bool Ticked) {
    LVITEMW row{};
    row.mask = LVIF_TEXT;
    row.iItem = ListView_GetItemCount(FList);
    row.pszText = const_cast<wchar_t*>(L"");
    const int index = static_cast<int>(::SendMessageW(FList, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&row)));
    if (index < 0) throw Exception("The account list cannot take another row");
    try {
        SetRowTexts(index, Texts);
        ListView_SetCheckState(FList, index, Ticked);
    } catch (...) {
        ListView_DeleteItem(FList, index);
        throw;
    }
}

void TAccountListForm::SetRowTexts(int Row, const TAccountRowTexts& Texts) {
    SetCellText(FList, Row, 0, Texts.Host);
    SetCellText(FList, Row, 1, Texts.Port);
    SetCellText(FList, Row, 2, Texts.UserID);
    SetCellText(FList, Row, 3, Texts.Password);
}

void TAccountListForm::DeleteRow(int Row) {
    ListView_DeleteItem(FList, Row);
}

bool TAccountListForm::RowTicked(int Row) const {
    return ListView_GetCheckState(FList, Row) != 0;
}

int TAccountListForm::SelectedRow() const {
    return ListView_GetNextItem(FList, -1, LVNI_SELECTED);
}

void TAccountListForm::ClearSelection() {
    ListView_SetItemState(FList, -1, 0, LVIS_SELECTED);
}

void TAccountListForm::EnableButtons(bool Add, bool Change, bool Delete) {
    ::EnableWindow(Item(IDC_ACCOUNT_ADD), Add);
    ::EnableWindow(Item(IDC_ACCOUNT_CHANGE), Change);
    ::EnableWindow(Item(IDC_ACCOUNT_DELETE), Delete);
}

bool TAccountListForm::AskOkCancel(const std::string& Caption, const std::string& Question) {
    return quorvel::AskOkCancel(Handle(), Question, Caption) == IDOK;
}

bool TAccountListForm::ShowAccountEdit(TAccountEditPresenter& Edit) {
    TAccountInformationForm form(Edit);
    return form.ShowModal(Handle()) == IDOK;
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
                FPresenter.SelectionChanged();
            }
            return FALSE;
        }
        case WM_CLOSE:
            // The title-bar close and Alt+F4.
            FPresenter.FormClose(false);
            EndModal(IDCANCEL);
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(WParam)) {
                case IDC_ACCOUNT_CLOSE:
                    FPresenter.FormClose(true);
                    EndModal(IDOK);
                    return TRUE;
                case IDC_ACCOUNT_ADD: FPresenter.AddClick(); return TRUE;
                case IDC_ACCOUNT_CHANGE: FPresenter.ChangeClick(); return TRUE;
                case IDC_ACCOUNT_DELETE: FPresenter.DeleteClick(); return TRUE;
                // Esc (IDCANCEL) and Enter away from a button (IDOK) do nothing.
                case IDOK:
                case IDCANCEL: return TRUE;
            }
            return FALSE;
    }
    return FALSE;
}

}  // namespace quorvel
