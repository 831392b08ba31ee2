#include "Dialogs.h"

#include <future>
#include <thread>

#include "TestSupport.h"

namespace vexa::test {

namespace {

std::string nameOf(HWND control) {
    return std::to_string(GetDlgCtrlID(control)) + " \"" + narrow(textOf(control)) + "\"";
}

bool isGroupBox(HWND control) {
    wchar_t name[16] = {};
    GetClassNameW(control, name, 16);
    return lstrcmpiW(name, L"Button") == 0 && (GetWindowLongPtrW(control, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX;
}

bool isSizeGrip(HWND control) {
    wchar_t name[16] = {};
    GetClassNameW(control, name, 16);
    return lstrcmpiW(name, L"ScrollBar") == 0 && (GetWindowLongPtrW(control, GWL_STYLE) & SBS_SIZEGRIP);
}

bool holds(const RECT& outer, const RECT& inner) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

// The room `control`'s text takes as the control shows it, and the room it
// has; false for controls whose text is the user's data (an edit) or none.
bool textRoom(HWND control, SIZE& needed, SIZE& room) {
    wchar_t name[16] = {};
    GetClassNameW(control, name, 16);
    const LONG_PTR style = GetWindowLongPtrW(control, GWL_STYLE);
    RECT client{};
    GetClientRect(control, &client);
    room = {client.right, client.bottom};
    UINT format = DT_CALCRECT | DT_SINGLELINE;
    if (lstrcmpiW(name, L"Static") == 0) {
        const LONG_PTR type = style & SS_TYPEMASK;
        if (type > SS_RIGHT && type != SS_SIMPLE && type != SS_LEFTNOWORDWRAP) return false;
        if (type <= SS_RIGHT) format = DT_CALCRECT | DT_WORDBREAK;
        if (style & SS_NOPREFIX) format |= DT_NOPREFIX;
    } else if (lstrcmpiW(name, L"Button") == 0) {
        // A button's face keeps an edge and a focus frame clear of its
        // caption; a group box's caption sits between its corners.
        room.cx -= 4 * GetSystemMetrics(SM_CXEDGE);
    } else {
        return false;
    }
    const std::wstring text = textOf(control);
    if (text.empty()) return false;
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    RECT measured{0, 0, room.cx, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &measured, format);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    needed = {measured.right, measured.bottom};
    return true;
}

}  // namespace

std::wstring textOf(HWND window) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

INT_PTR runDialog(const std::function<INT_PTR()>& run, const std::function<void(HWND)>& act) {
    std::promise<DWORD> threadId;
    std::future<DWORD> idFuture = threadId.get_future();
    INT_PTR result = -2;
    std::thread dialogThread([&] {
        threadId.set_value(GetCurrentThreadId());
        result = run();
    });
    const DWORD id = idFuture.get();
    HWND dialog = nullptr;
    waitUntil([&] {
        EnumThreadWindows(
            id,
            [](HWND hwnd, LPARAM found) {
                if (IsWindowVisible(hwnd)) *reinterpret_cast<HWND*>(found) = hwnd;
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&dialog));
        return dialog != nullptr;
    });
    if (dialog) act(dialog);
    else PostThreadMessageW(id, WM_QUIT, 0, 0);
    dialogThread.join();
    return result;
}

RECT controlRect(HWND dialog, HWND control) {
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

std::vector<std::string> layoutFaults(HWND dialog) {
    RECT client{};
    GetClientRect(dialog, &client);
    std::vector<std::pair<HWND, RECT>> shown;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        // Its own style: the dialog itself may not be shown yet.
        if (!(GetWindowLongPtrW(child, GWL_STYLE) & WS_VISIBLE)) continue;
        shown.emplace_back(child, controlRect(dialog, child));
    }
    std::vector<std::string> faults;
    for (size_t i = 0; i < shown.size(); ++i) {
        const auto& [control, rect] = shown[i];
        if (!holds(client, rect)) faults.push_back(nameOf(control) + " reaches beyond the dialog");
        SIZE needed{}, room{};
        if (textRoom(control, needed, room) && (needed.cx > room.cx || needed.cy > room.cy))
            faults.push_back(nameOf(control) + " needs " + std::to_string(needed.cx) + " x " +
                             std::to_string(needed.cy) + " and has " + std::to_string(room.cx) + " x " +
                             std::to_string(room.cy));
        for (size_t j = i + 1; j < shown.size(); ++j) {
            const auto& [other, otherRect] = shown[j];
            RECT common{};
            if (!IntersectRect(&common, &rect, &otherRect)) continue;
            if ((isGroupBox(control) && holds(rect, otherRect)) || (isGroupBox(other) && holds(otherRect, rect))) continue;
            // The size grip's dots lie in the corner, over a group box's frame.
            if ((isGroupBox(control) && isSizeGrip(other)) || (isSizeGrip(control) && isGroupBox(other))) continue;
            faults.push_back(nameOf(control) + " overlaps " + nameOf(other));
        }
    }
    return faults;
}

}  // namespace vexa::test
