#pragma once

#include <string>

#include "app/AccountListPresenter.h"
#include "gui/win32/WinDialog_win32.h"

namespace quorvel {

// The account list on Win32: a view of TAccountListPresenter, which decides
// what the rows show, which buttons are enabled and what closing does.
// ShowModal gives IDOK for "閉じる" and IDCANCEL for the title-bar close and
// Alt+F4. Esc does not close it.
class TAccountListForm final : public TWinDialog, private IAccountListView {
public:
    explicit TAccountListForm(TAccountListPresenter& Presenter);

private:
    INT_PTR HandleMessage(UINT Message, WPARAM WParam, LPARAM LParam) override;
    void FormCreate();
    void LayOut();

    void AddRow(const TAccountRowTexts& Texts, bool Ticked) override;
    void SetRowTexts(int Row, const TAccountRowTexts& Texts) override;
    void DeleteRow(int Row) override;
    bool RowTicked(int Row) const override;
    int SelectedRow() const override;
    void ClearSelection() override;
    void EnableButtons(bool Add, bool Change, bool Delete) override;
    bool AskOkCancel(const std::string& Caption, const std::string& Question) override;
    bool ShowAccountEdit(TAccountEditPresenter& Edit) override;

    TAccountListPresenter& FPresenter;
    HWND FList = nullptr;
    SIZE FMinimumSize{};  // of the window, the size it opened with
};

}  // namespace quorvel
