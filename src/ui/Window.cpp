#include "ui/Window.h"

#include <algorithm>
#include <mutex>
#include <new>
#include <string>
#include <utility>

namespace vexa {
namespace {

constexpr wchar_t kObjectProperty[] = L"VexaWindowObject";

// The framework's one lock, its list of objects awaiting a window and the
// window classes it registered.
struct Framework {
    std::mutex lock;
    std::vector<std::pair<DWORD, WindowObject*>> awaiting;
    std::vector<std::pair<std::wstring, HINSTANCE>> classes;
};

Framework& framework() {
    static Framework instance;
    return instance;
}

}  // namespace

WindowObject::~WindowObject() {
    cancelAwait();
    if (hwnd_ && IsWindow(hwnd_)) {
        unbind();
        if (!isDialog_) DestroyWindow(hwnd_);
    }
}

bool WindowObject::awaitWindow() {
    Framework& f = framework();
    std::lock_guard guard(f.lock);
    try {
        f.awaiting.emplace_back(GetCurrentThreadId(), this);
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_OUTOFMEMORY);
        return false;
    }
    return true;
}

void WindowObject::cancelAwait() {
    Framework& f = framework();
    std::lock_guard guard(f.lock);
    std::erase_if(f.awaiting, [this](const auto& entry) { return entry.second == this; });
}

WindowObject* WindowObject::bind(HWND hwnd) {
    WindowObject* object = nullptr;
    {
        Framework& f = framework();
        std::lock_guard guard(f.lock);
        const DWORD thread = GetCurrentThreadId();
        auto it = std::find_if(f.awaiting.begin(), f.awaiting.end(),
                               [thread](const auto& entry) { return entry.first == thread; });
        if (it == f.awaiting.end()) return nullptr;
        object = it->second;
        f.awaiting.erase(it);
    }
    object->hwnd_ = hwnd;
    SetPropW(hwnd, kObjectProperty, object);
    return object;
}

void WindowObject::unbind() {
    if (!hwnd_) return;
    RemovePropW(hwnd_, kObjectProperty);
    if (isDialog_) SetWindowLongPtrW(hwnd_, DWLP_DLGPROC, 0);
    else SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DefWindowProcW));
}

LRESULT CALLBACK WindowObject::startWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowObject* object = bind(hwnd);
    if (!object) return DefWindowProcW(hwnd, message, wParam, lParam);
    SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&routeWindowProc));
    return routeWindowProc(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK WindowObject::routeWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* object = static_cast<WindowObject*>(GetPropW(hwnd, kObjectProperty));
    if (!object) return DefWindowProcW(hwnd, message, wParam, lParam);
    bool handled = true;
    LRESULT result = object->processMessage(message, wParam, lParam, handled);
    if (!handled) result = DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        object->unbind();
        object->hwnd_ = nullptr;
    }
    return result;
}

INT_PTR CALLBACK WindowObject::startDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowObject* object = bind(hwnd);
    if (!object) return FALSE;
    object->isDialog_ = true;
    SetWindowLongPtrW(hwnd, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(&routeDialogProc));
    return routeDialogProc(hwnd, message, wParam, lParam);
}

INT_PTR CALLBACK WindowObject::routeDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* object = static_cast<WindowObject*>(GetPropW(hwnd, kObjectProperty));
    if (!object) return FALSE;
    bool handled = true;
    LRESULT result = object->processMessage(message, wParam, lParam, handled);
    if (message == WM_NCDESTROY) {
        RemovePropW(hwnd, kObjectProperty);
        object->hwnd_ = nullptr;
    }
    if (!handled) return FALSE;
    // Messages that return a value other than TRUE/FALSE from a dialog
    // procedure do so through DWLP_MSGRESULT.
    switch (message) {
        case WM_INITDIALOG:
        case WM_CTLCOLORMSGBOX:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSCROLLBAR:
        case WM_CTLCOLORSTATIC:
        case WM_QUERYDRAGICON:
            return static_cast<INT_PTR>(result);
        default:
            SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, result);
            return TRUE;
    }
}

bool WindowObject::registerClass(const WNDCLASSEXW& windowClass) {
    Framework& f = framework();
    std::lock_guard guard(f.lock);
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExW(windowClass.hInstance, windowClass.lpszClassName, &existing)) return true;
    if (!RegisterClassExW(&windowClass)) return false;
    try {
        f.classes.emplace_back(windowClass.lpszClassName, windowClass.hInstance);
    } catch (const std::bad_alloc&) {
        UnregisterClassW(windowClass.lpszClassName, windowClass.hInstance);
        SetLastError(ERROR_OUTOFMEMORY);
        return false;
    }
    return true;
}

INT_PTR ModalDialog::runModal(int templateId, HWND owner) {
    if (!awaitWindow()) return -1;
    INT_PTR result =
        DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId), owner, &startDialogProc, 0);
    cancelAwait();  // when the dialog never received a message
    return result;
}

RECT measureText(HWND window, HGDIOBJ font, std::wstring_view text, RECT bounds, UINT format) {
    const WindowDc dc(window);
    if (!dc.get()) return bounds;
    HGDIOBJ old = SelectObject(dc.get(), font);
    DrawTextW(dc.get(), text.data(), static_cast<int>(text.size()), &bounds, format | DT_CALCRECT);
    SelectObject(dc.get(), old);
    return bounds;
}

void centreWindow(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    const LONG width = rect.right - rect.left;
    const LONG height = rect.bottom - rect.top;

    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT area = monitor.rcWork;

    RECT centre = area;
    HWND owner = GetWindow(window, GW_OWNER);
    if (owner && IsWindowVisible(owner) && !IsIconic(owner) && !(GetWindowLongPtrW(owner, GWL_STYLE) & WS_CHILD))
        GetWindowRect(owner, &centre);

    LONG left = centre.left + (centre.right - centre.left - width) / 2;
    LONG top = centre.top + (centre.bottom - centre.top - height) / 2;
    // Keep it inside the work area, never left of or above its edges.
    left = std::max(area.left, std::min(left, area.right - width));
    top = std::max(area.top, std::min(top, area.bottom - height));
    SetWindowPos(window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void DialogResizer::initialise(HWND dialog, const std::vector<Entry>& table) {
    dialog_ = dialog;
    LONG_PTR style = GetWindowLongPtrW(dialog, GWL_STYLE);
    SetWindowLongPtrW(dialog, GWL_STYLE, style | WS_CLIPCHILDREN);
    // A group box draws only its frame and caption; clipped away, the dialog
    // would never paint what lies inside it. Transparent children are not
    // clipped.
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t className[16] = {};
        GetClassNameW(child, className, 16);
        if (lstrcmpiW(className, L"Button") == 0 &&
            (GetWindowLongPtrW(child, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX)
            SetWindowLongPtrW(child, GWL_EXSTYLE, GetWindowLongPtrW(child, GWL_EXSTYLE) | WS_EX_TRANSPARENT);
    }
    if (!(style & WS_CHILD)) {
        // A top-level resizable dialog: modal frame, no caption icon.
        SetWindowLongPtrW(dialog, GWL_EXSTYLE, GetWindowLongPtrW(dialog, GWL_EXSTYLE) | WS_EX_DLGMODALFRAME);
        SendMessageW(dialog, WM_SETICON, ICON_SMALL, 0);
        SendMessageW(dialog, WM_SETICON, ICON_BIG, 0);
        SetWindowPos(dialog, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
    }

    RECT client{};
    GetClientRect(dialog, &client);
    initialClient_ = {client.right, client.bottom};

    const int gripSize = GetSystemMetrics(SM_CXVSCROLL);
    gripRect_ = {client.right - gripSize, client.bottom - gripSize, client.right, client.bottom};
    grip_ = CreateWindowExW(0, L"SCROLLBAR", nullptr,
                            WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | SBS_SIZEGRIP | SBS_SIZEBOXBOTTOMRIGHTALIGN,
                            gripRect_.left, gripRect_.top, gripSize, gripSize, dialog,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(0xE801)), GetModuleHandleW(nullptr),
                            nullptr);
    if (grip_) {
        // The grip takes its own size; follow where it really is.
        GetWindowRect(grip_, &gripRect_);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&gripRect_), 2);
    }

    RECT window{};
    GetWindowRect(dialog, &window);
    minTrackSize_ = {window.right - window.left, window.bottom - window.top};

    controls_.clear();
    for (const Entry& entry : table) {
        HWND control = GetDlgItem(dialog, entry.id);
        if (!control) continue;
        RECT rect{};
        GetWindowRect(control, &rect);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
        controls_.push_back({entry.id, entry.flags, rect});
    }
}

void DialogResizer::onSize(WPARAM kind, int clientWidth, int clientHeight) {
    if (!dialog_) return;
    if (grip_) ShowWindow(grip_, kind == SIZE_MAXIMIZED ? SW_HIDE : SW_SHOW);
    if (kind == SIZE_MINIMIZED) return;
    const int dx = clientWidth - initialClient_.cx;
    const int dy = clientHeight - initialClient_.cy;
    HDWP positions = BeginDeferWindowPos(static_cast<int>(controls_.size()) + 1);
    for (const Control& control : controls_) {
        RECT r = control.rect;
        if (control.flags & MoveX) OffsetRect(&r, dx, 0);
        if (control.flags & MoveY) OffsetRect(&r, 0, dy);
        if (control.flags & SizeX) r.right += dx;
        if (control.flags & SizeY) r.bottom += dy;
        HWND window = GetDlgItem(dialog_, control.id);
        if (window && positions)
            positions = DeferWindowPos(positions, window, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                                       SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (grip_ && positions)
        positions = DeferWindowPos(positions, grip_, nullptr, gripRect_.left + dx, gripRect_.top + dy, 0, 0,
                                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (positions) EndDeferWindowPos(positions);
    InvalidateRect(dialog_, nullptr, TRUE);
}

void DialogResizer::onGetMinMaxInfo(MINMAXINFO* info) const {
    if (minTrackSize_.x > 0) info->ptMinTrackSize = minTrackSize_;
}

void releaseWindowClasses() {
    Framework& f = framework();
    std::lock_guard guard(f.lock);
    for (const auto& [name, instance] : f.classes) UnregisterClassW(name.c_str(), instance);
    f.classes.clear();
}

}  // namespace vexa
