#include "ui/HyperLink.h"

#include "ui/Window.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cstdint>

#include "ui/LinkColour.h"

namespace vexa {
namespace {

constexpr wchar_t kLinkProperty[] = L"VexaHyperLink";
constexpr UINT_PTR kToolId = 1;

// A static type that shows no text: icons, bitmaps, frames and rectangles.
bool showsNoText(LONG_PTR style) {
    const LONG_PTR type = style & SS_TYPEMASK;
    return (type >= 3 && type <= 9) || (type >= 13 && type <= 15);
}

UINT alignment(LONG_PTR style) {
    const LONG_PTR type = style & SS_TYPEMASK;
    if (type == SS_CENTER) return DT_CENTER;
    if (type == SS_RIGHT) return DT_RIGHT;
    return DT_LEFT;
}

// A colour value of the user's link settings, when it qualifies.
void readColour(HKEY key, const wchar_t* name, COLORREF& colour) {
    std::uint8_t data[kLargestColourValue] = {};
    DWORD type = 0;
    DWORD size = sizeof(data);
    if (RegQueryValueExW(key, name, nullptr, &type, data, &size) != ERROR_SUCCESS) return;  // also: too long
    if (auto value = parseAnchorColour(type, data, size)) colour = *value;
}

}  // namespace

HyperLink::~HyperLink() { detach(); }

bool HyperLink::attach(HWND control) {
    if (!control || window_) return false;
    window_ = control;
    SetPropW(control, kLinkProperty, this);
    previous_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&HyperLink::windowProc)));
    if (!previous_) {
        RemovePropW(control, kLinkProperty);
        window_ = nullptr;
        return false;
    }
    initialise();
    return true;
}

void HyperLink::detach() {
    tooltip_.reset();
    if (window_ && previous_ && IsWindow(window_)) {
        SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_));
        RemovePropW(window_, kLinkProperty);
    }
    window_ = nullptr;
    previous_ = nullptr;
    linkFont_ = nullptr;
    ownedLinkFont_.reset();
    ownedNormalFont_.reset();
}

void HyperLink::initialise() {
    wchar_t className[16] = {};
    GetClassNameW(window_, className, 16);
    LONG_PTR style = GetWindowLongPtrW(window_, GWL_STYLE);
    if (lstrcmpiW(className, L"static") == 0) {
        style |= SS_NOTIFY;  // so that the control receives mouse clicks
        SetWindowLongPtrW(window_, GWL_STYLE, style);
        if (showsNoText(style)) paintLabel = false;
    }
    cursor_ = LoadCursorW(nullptr, IDC_HAND);

    if (paintLabel) {
        if (!normalFont) {
            LOGFONTW font{};
            if (SystemParametersInfoW(SPI_GETICONTITLELOGFONT, sizeof(font), &font, 0)) {
                ownedNormalFont_.reset(CreateFontIndirectW(&font));
                normalFont = static_cast<HFONT>(ownedNormalFont_.get());
            }
        }
        rebuildLinkFont();
    }

    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_BAR_CLASSES};
    if (shell_.initCommonControlsEx) shell_.initCommonControlsEx(&controls);
    tooltip_.reset(CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, 0, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                   CW_USEDEFAULT, window_, nullptr, GetModuleHandleW(nullptr), nullptr));

    if (label_.empty()) {
        const int length = GetWindowTextLengthW(window_);
        label_.assign(static_cast<size_t>(length) + 1, L'\0');
        label_.resize(static_cast<size_t>(GetWindowTextW(window_, label_.data(), length + 1)));
    }
    computeLabelRect();
    if (target_.empty()) target_ = label_;
    if (tooltip_) {
        SendMessageW(tooltip_.get(), TTM_ACTIVATE, TRUE, 0);
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof(tool);
        tool.hwnd = window_;
        tool.uId = kToolId;
        tool.rect = labelRect_;
        tool.lpszText = target_.data();
        SendMessageW(tooltip_.get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
    if (paintLabel) readUserColours();
}

void HyperLink::readUserColours() {
    // Read access is all it takes; a user whose key is read-only keeps his colours.
    RegistryKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Internet Explorer\\Settings", 0, KEY_READ,
                      reinterpret_cast<HKEY*>(key.put())) != ERROR_SUCCESS)
        return;
    readColour(key.get(), L"Anchor Color", linkColour);
    readColour(key.get(), L"Anchor Color Visited", visitedColour);
}

void HyperLink::rebuildLinkFont() {
    if (linkFont_ && !ownedLinkFont_) return;  // a font given from outside stays
    ownedLinkFont_.reset();
    linkFont_ = nullptr;
    LOGFONTW font{};
    if (normalFont && GetObjectW(normalFont, sizeof(font), &font)) {
        font.lfUnderline = TRUE;
        ownedLinkFont_.reset(CreateFontIndirectW(&font));
        linkFont_ = static_cast<HFONT>(ownedLinkFont_.get());
    }
}

void HyperLink::computeLabelRect() {
    RECT client{};
    GetClientRect(window_, &client);
    const LONG_PTR style = GetWindowLongPtrW(window_, GWL_STYLE);
    RECT text = measureText(window_, linkFont_ ? linkFont_ : normalFont, label_, client, DT_WORDBREAK | alignment(style));
    const LONG freeWidth = (client.right - client.left) - (text.right - text.left);
    if ((style & SS_TYPEMASK) == SS_CENTER) OffsetRect(&text, freeWidth / 2, 0);
    else if ((style & SS_TYPEMASK) == SS_RIGHT) OffsetRect(&text, freeWidth, 0);
    labelRect_ = text;
    if (tooltip_) {
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof(tool);
        tool.hwnd = window_;
        tool.uId = kToolId;
        tool.rect = labelRect_;
        SendMessageW(tooltip_.get(), TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

bool HyperLink::pointerInLabel() const {
    POINT point{};
    GetCursorPos(&point);
    ScreenToClient(window_, &point);
    return PtInRect(&labelRect_, point) != FALSE;
}

void HyperLink::paint(HDC dc) {
    RECT client{};
    GetClientRect(window_, &client);
    if (auto brush = reinterpret_cast<HBRUSH>(SendMessageW(GetParent(window_), WM_CTLCOLORSTATIC,
                                                           reinterpret_cast<WPARAM>(dc),
                                                           reinterpret_cast<LPARAM>(window_))))
        FillRect(dc, &client, brush);
    const LONG_PTR style = GetWindowLongPtrW(window_, GWL_STYLE);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, !IsWindowEnabled(window_) ? GetSysColor(COLOR_GRAYTEXT) : visited_ ? visitedColour : linkColour);
    HGDIOBJ old = SelectObject(dc, linkFont_ ? linkFont_ : normalFont);
    DrawTextW(dc, label_.c_str(), static_cast<int>(label_.size()), &client, DT_WORDBREAK | alignment(style));
    SelectObject(dc, old);
    if (GetFocus() == window_) DrawFocusRect(dc, &labelRect_);
}

void HyperLink::open() {
    if (!shell_.shellExecute) return;
    const auto result = reinterpret_cast<INT_PTR>(
        shell_.shellExecute(nullptr, L"open", target_.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (result > 32) {
        visited_ = true;
        InvalidateRect(window_, nullptr, FALSE);
    }
}

LRESULT CALLBACK HyperLink::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* link = static_cast<HyperLink*>(GetPropW(hwnd, kLinkProperty));
    if (!link) return DefWindowProcW(hwnd, message, wParam, lParam);
    return link->handle(message, wParam, lParam);
}

LRESULT HyperLink::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    const HWND window = window_;
    const WNDPROC previous = previous_;
    if (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST && tooltip_) {
        MSG relayed{window, message, wParam, lParam, static_cast<DWORD>(GetMessageTime()), {}};
        GetCursorPos(&relayed.pt);
        SendMessageW(tooltip_.get(), TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relayed));
    }
    if (paintLabel) {
        switch (message) {
            case WM_PAINT: {
                PAINTSTRUCT ps{};
                if (HDC dc = BeginPaint(window, &ps)) {
                    paint(dc);
                    EndPaint(window, &ps);
                }
                return 0;
            }
            case WM_PRINTCLIENT:
                paint(reinterpret_cast<HDC>(wParam));
                return 0;
            case WM_ERASEBKGND:
                return 1;  // painted whole in WM_PAINT
            case WM_SETFONT:
                ownedNormalFont_.reset();  // deletes the previous font when the link made it
                normalFont = reinterpret_cast<HFONT>(wParam);
                rebuildLinkFont();
                computeLabelRect();
                if (LOWORD(lParam)) InvalidateRect(window, nullptr, TRUE);
                return 0;
            case WM_GETFONT:
                return reinterpret_cast<LRESULT>(normalFont);
            case WM_SIZE:
                computeLabelRect();
                break;
        }
    }
    switch (message) {
        case WM_MOUSEMOVE:
            if (pointerInLabel()) SetCursor(cursor_);
            return 0;
        case WM_SETCURSOR:
            if (pointerInLabel()) {
                SetCursor(cursor_);
                return TRUE;
            }
            break;
        case WM_LBUTTONDOWN:
            if (pointerInLabel()) {
                SetFocus(window);
                SetCapture(window);
            }
            return 0;
        case WM_LBUTTONUP:
            if (GetCapture() == window) {
                ReleaseCapture();
                if (pointerInLabel()) open();
            }
            return 0;
        case WM_GETDLGCODE: {
            // Characters come here; so do Enter and space, which the dialog
            // would otherwise take for its default button or leave untranslated.
            LRESULT code = DLGC_WANTCHARS;
            if (const auto* msg = reinterpret_cast<const MSG*>(lParam))
                if ((msg->message == WM_KEYDOWN || msg->message == WM_CHAR) &&
                    (msg->wParam == VK_RETURN || msg->wParam == VK_SPACE))
                    code |= DLGC_WANTMESSAGE;
            return code;
        }
        case WM_CHAR:
            if (wParam == VK_RETURN || wParam == VK_SPACE) open();
            return 0;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
        case WM_ENABLE:
            InvalidateRect(window, nullptr, FALSE);
            break;
        case WM_DESTROY:
            tooltip_.reset();
            break;
        case WM_NCDESTROY: {
            LRESULT result = CallWindowProcW(previous, window, message, wParam, lParam);
            detach();
            return result;
        }
    }
    return CallWindowProcW(previous, window, message, wParam, lParam);
}

}  // namespace vexa
