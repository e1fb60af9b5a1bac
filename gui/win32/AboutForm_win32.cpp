#include "gui/win32/AboutForm_win32.h"

#include <commctrl.h>
#include <shellapi.h>

#include <vector>

#include "core/WideText_win32.h"
#include "resources/windows/DialogIds.h"
#include "tray/BevelFrame.h"

namespace quorvel {

namespace {

int ItemId(TAboutItem Item) {
    switch (Item) {
        case TAboutItem::SubTitle: return IDC_SUBTITLE;
        case TAboutItem::ApplicationIcon: return IDC_APPLICATION_ICON;
        case TAboutItem::Title: return IDC_TITLE;
        case TAboutItem::Version: return IDC_VERSION;
        case TAboutItem::Copyright: return IDC_COPYRIGHT;
        case TAboutItem::Flag: return IDC_FLAG_IMAGE;
        case TAboutItem::MailLink: return IDC_MAIL_LINK;
        case TAboutItem::HomePageLink: return IDC_HOME_PAGE_LINK;
        case TAboutItem::Ok: break;
    }
    return IDOK;
}

std::function<void(const std::string&)>& LinkOpener() {
    static std::function<void(const std::string&)> opener;
    return opener;
}

std::wstring ExecutablePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) return path.substr(0, length);
        path.resize(path.size() * 2);
    }
}

std::string LinkMarkup(std::string_view Link) {
    return "<a href=\"" + std::string(Link) + "\">" + std::string(Link) + "</a>";
}

HFONT FontLike(HFONT Font, int Weight, int Height) {
    LOGFONTW shape{};
    ::GetObjectW(Font != nullptr ? Font : ::GetStockObject(DEFAULT_GUI_FONT), sizeof shape, &shape);
    shape.lfWeight = Weight;
    if (Height != 0) {
        shape.lfHeight = -Height;
        shape.lfWidth = 0;
    }
    return ::CreateFontIndirectW(&shape);
}

}  // namespace

std::optional<TFixedFileInfo> ExecutableFileVersion() {
    const std::wstring path = ExecutablePath();
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0) return std::nullopt;
    std::vector<unsigned char> block(size + 1);
    if (!::GetFileVersionInfoW(path.c_str(), 0, size, block.data())) return std::nullopt;
    void* record = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(block.data(), L"\\", &record, &length) || length < sizeof(VS_FIXEDFILEINFO)) {
        return std::nullopt;
    }
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(record);
    return TFixedFileInfo{fixed->dwFileVersionMS, fixed->dwFileVersionLS, fixed->dwProductVersionMS,
                          fixed->dwProductVersionLS};
}

std::string ExecutableFileName() {
    std::wstring path = ExecutablePath();
    if (const std::size_t slash = path.find_last_of(L"\\/"); slash != std::wstring::npos) path.erase(0, slash + 1);
    return Utf8FromWide(path);
}

void OpenLink(const std::string& Link) {
    if (LinkOpener()) {
        LinkOpener()(Link);
        return;
    }
    ::ShellExecuteW(nullptr, L"open", WideFromUtf8(Link).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void SetLinkOpenerForTesting(std::function<void(const std::string&)> Opener) {
    LinkOpener() = std::move(Opener);
}

TAboutForm::TAboutForm(TAboutPresenter& Presenter) : TWinDialog(IDD_ABOUT), FPresenter(Presenter) {}

TAboutForm::~TAboutForm() {
    for (HGDIOBJ object :
         {static_cast<HGDIOBJ>(FBackground), static_cast<HGDIOBJ>(FBoldFont), static_cast<HGDIOBJ>(FTitleFont)}) {
        if (object != nullptr) ::DeleteObject(object);
    }
    if (FApplicationIcon != nullptr) ::DestroyIcon(FApplicationIcon);
    if (FFlag != nullptr) ::DestroyIcon(FFlag);
}

int TAboutForm::Scaled(int Pixels) const {
    return ::MulDiv(Pixels, FDpi, 96);
}

bool TAboutForm::FormCreate() {
    HDC screen = ::GetDC(nullptr);
    FDpi = ::GetDeviceCaps(screen, LOGPIXELSX);
    ::ReleaseDC(nullptr, screen);
    if (FDpi <= 0) FDpi = 96;

    HINSTANCE module = ::GetModuleHandleW(nullptr);
    FBackground = static_cast<HBITMAP>(
        ::LoadImageW(module, MAKEINTRESOURCEW(IDB_ABOUT_BACKGROUND), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
    const int iconSize = Scaled(32);
    FApplicationIcon = static_cast<HICON>(::LoadImageW(module, MAKEINTRESOURCEW(1), IMAGE_ICON, iconSize, iconSize, 0));
    if (FApplicationIcon == nullptr)
        FApplicationIcon = ::CopyIcon(::LoadIconW(nullptr, MAKEINTRESOURCEW(32512) /* IDI_APPLICATION */));
    FFlag =
        static_cast<HICON>(::LoadImageW(module, MAKEINTRESOURCEW(IDI_ABOUT_FLAG), IMAGE_ICON, iconSize, iconSize, 0));
    ::SendDlgItemMessageW(Handle(), IDC_APPLICATION_ICON, STM_SETICON, reinterpret_cast<WPARAM>(FApplicationIcon), 0);
    ::SendDlgItemMessageW(Handle(), IDC_FLAG_IMAGE, STM_SETICON, reinterpret_cast<WPARAM>(FFlag), 0);

    const auto font = reinterpret_cast<HFONT>(::SendMessageW(Handle(), WM_GETFONT, 0, 0));
    FBoldFont = FontLike(font, FW_BOLD, 0);
    FTitleFont = FontLike(font, FW_BOLD, Scaled(27));
    ::SendDlgItemMessageW(Handle(), IDC_COPYRIGHT, WM_SETFONT, reinterpret_cast<WPARAM>(FBoldFont), FALSE);
    ::SendDlgItemMessageW(Handle(), IDC_TITLE, WM_SETFONT, reinterpret_cast<WPARAM>(FTitleFont), FALSE);

    RECT frame{0, 0, Scaled(AboutBoxWidth), Scaled(AboutBoxHeight)};
    ::AdjustWindowRectEx(&frame, static_cast<DWORD>(::GetWindowLongPtrW(Handle(), GWL_STYLE)), FALSE,
                         static_cast<DWORD>(::GetWindowLongPtrW(Handle(), GWL_EXSTYLE)));
    ::SetWindowPos(Handle(), HWND_TOPMOST, 0, 0, frame.right - frame.left, frame.bottom - frame.top, SWP_NOMOVE);
    if (!FPresenter.FormCreate(*this)) return false;
    CenterOnScreen(Handle());
    return true;
}

std::string TAboutForm::ProgramFileName() const {
    return ExecutableFileName();
}

std::optional<TFixedFileInfo> TAboutForm::ProgramVersion() const {
    return ExecutableFileVersion();
}

void TAboutForm::SetCaption(const std::string& Caption) {
    ::SetWindowTextW(Handle(), WideFromUtf8(Caption).c_str());
}

void TAboutForm::SetText(TAboutItem Item, const std::string& Text) {
    FTexts[Item] = Text;
    const bool link = Item == TAboutItem::MailLink || Item == TAboutItem::HomePageLink;
    SetItemText(ItemId(Item), link ? LinkMarkup(Text) : Text);
}

TAboutSize TAboutForm::TextSize(TAboutItem Item) const {
    const auto text = FTexts.find(Item);
    if (text == FTexts.end()) return {};
    HWND control = this->Item(ItemId(Item));
    HDC canvas = ::GetDC(control);
    HGDIOBJ old = ::SelectObject(canvas, reinterpret_cast<HGDIOBJ>(::SendMessageW(control, WM_GETFONT, 0, 0)));
    const std::wstring wide = WideFromUtf8(text->second);
    RECT room{0, 0, 0, 0};
    ::DrawTextW(canvas, wide.c_str(), static_cast<int>(wide.size()), &room, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    ::SelectObject(canvas, old);
    ::ReleaseDC(control, canvas);
    // In the box's pixels, rounded up so that scaling back leaves the text its room.
    const auto unscaled = [this](LONG Pixels) { return static_cast<int>((Pixels * 96 + FDpi - 1) / FDpi); };
    return {unscaled(room.right - room.left), unscaled(room.bottom - room.top)};
}

void TAboutForm::Place(TAboutItem Item, const TAboutRect& Place) {
    ::MoveWindow(this->Item(ItemId(Item)), Scaled(Place.X), Scaled(Place.Y), Scaled(Place.Width), Scaled(Place.Height),
                 FALSE);
}

void TAboutForm::OpenLink(const std::string& Link) {
    quorvel::OpenLink(Link);
}

void TAboutForm::FormPaint() {
    PAINTSTRUCT paint{};
    HDC canvas = ::BeginPaint(Handle(), &paint);
    RECT client{};
    ::GetClientRect(Handle(), &client);
    if (FBackground != nullptr) {
        HDC picture = ::CreateCompatibleDC(canvas);
        HGDIOBJ old = ::SelectObject(picture, FBackground);
        BITMAP size{};
        ::GetObjectW(FBackground, sizeof size, &size);
        ::SetStretchBltMode(canvas, COLORONCOLOR);
        ::StretchBlt(canvas, 0, 0, client.right, client.bottom, picture, 0, 0, size.bmWidth, size.bmHeight, SRCCOPY);
        ::SelectObject(picture, old);
        ::DeleteDC(picture);
    } else {
        ::FillRect(canvas, &client, ::GetSysColorBrush(COLOR_BTNFACE));
    }
    for (const TBevelRun& run : BevelRuns(client.right, client.bottom)) {
        const RECT pixels{run.X, run.Y, run.X + run.Width, run.Y + run.Height};
        ::FillRect(canvas, &pixels,
                   ::GetSysColorBrush(run.Colour == TBevelColour::Highlight ? COLOR_BTNHIGHLIGHT : COLOR_BTNSHADOW));
    }
    ::EndPaint(Handle(), &paint);
}

INT_PTR TAboutForm::HandleMessage(UINT Message, WPARAM WParam, LPARAM LParam) {
    switch (Message) {
        case WM_INITDIALOG:
            // A box that could not be made closes.
            if (!FormCreate()) EndModal(IDCANCEL);
            return TRUE;
        case WM_ERASEBKGND: return TRUE;  // the picture covers everything
        case WM_PAINT: FormPaint(); return TRUE;
        case WM_CTLCOLORSTATIC:
            // Texts on the picture.
            ::SetBkMode(reinterpret_cast<HDC>(WParam), TRANSPARENT);
            return reinterpret_cast<INT_PTR>(::GetStockObject(NULL_BRUSH));
        case WM_LBUTTONDOWN:
            // Moves the window as if it were dragged by a title bar.
            ::SendMessageW(Handle(), WM_SYSCOMMAND, 0xF012, 0);
            return TRUE;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(LParam);
            if ((header->idFrom == IDC_MAIL_LINK || header->idFrom == IDC_HOME_PAGE_LINK) &&
                (header->code == NM_CLICK || header->code == NM_RETURN)) {
                FPresenter.LinkClicked(
                    *this, header->idFrom == IDC_MAIL_LINK ? TAboutItem::MailLink : TAboutItem::HomePageLink);
                return TRUE;
            }
            return FALSE;
        }
        case WM_CLOSE: EndModal(IDCANCEL); return TRUE;
        case WM_COMMAND:
            if (LOWORD(WParam) == IDOK) {
                EndModal(IDOK);
                return TRUE;
            }
            // Esc: no button of the box answers it.
            return LOWORD(WParam) == IDCANCEL;
    }
    return FALSE;
}

}  // namespace quorvel
