#include "gui/win32/NewMailNotice_win32.h"

#include "core/WideText_win32.h"

namespace quorvel {

namespace {

// The program's icon: the first icon group of its resources.
constexpr WORD ProgramIcon = 1;
// NOTIFYICONDATAW's fields, less their terminating zero.
constexpr std::size_t TitleUnits = 63;
constexpr std::size_t TextUnits = 255;

bool IsHighSurrogate(wchar_t Unit) {
    return Unit >= 0xD800 && Unit <= 0xDBFF;
}

}  // namespace

std::wstring CutWide(std::wstring Text, std::size_t MaxUnits) {
    if (Text.size() <= MaxUnits) return Text;
    std::size_t length = MaxUnits;
    if (length > 0 && IsHighSurrogate(Text[length - 1])) --length;
    Text.resize(length);
    return Text;
}

bool TWinNewMailNotice::UserBusy() {
    QUERY_USER_NOTIFICATION_STATE state = QUNS_ACCEPTS_NOTIFICATIONS;
    if (FAILED(::SHQueryUserNotificationState(&state))) return false;
    return state == QUNS_BUSY || state == QUNS_PRESENTATION_MODE || state == QUNS_RUNNING_D3D_FULL_SCREEN;
}

TWinNewMailNotice::TWinNewMailNotice(TWinTrayShell& Shell, TBusyFunction Busy)
    : FShell(Shell), FBusy(Busy ? std::move(Busy) : TBusyFunction(UserBusy)) {
    // The large size: NIIF_LARGE_ICON asks for it.
    FIcon.reset(static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(ProgramIcon), IMAGE_ICON,
                                                ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON), 0)));
    FShell.OnBalloonClick = [this] {
        if (OnOpen) OnOpen();
    };
}

TWinNewMailNotice::~TWinNewMailNotice() {
    FShell.OnBalloonClick = nullptr;
}

void TWinNewMailNotice::Show(const std::string& Title, const std::string& Body) {
    if (FBusy()) return;
    TWinTrayShell::TBalloon balloon;
    balloon.Title = CutWide(WideFromUtf8(Title), TitleUnits);
    balloon.Text = CutWide(WideFromUtf8(Body), TextUnits);
    // An empty text would take the balloon away instead.
    if (balloon.Text.empty()) balloon.Text = L" ";
    balloon.Flags = NIIF_USER | NIIF_LARGE_ICON | NIIF_NOSOUND | NIIF_RESPECT_QUIET_TIME;
    balloon.Icon = FIcon.get();
    FShell.ShowBalloon(balloon);
}

void TWinNewMailNotice::Withdraw() {
    FShell.WithdrawBalloon();
}

}  // namespace quorvel
