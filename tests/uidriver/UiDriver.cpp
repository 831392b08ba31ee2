// vexa-ui: finds a top-level window (by default a message box or dialog) of a
// given process, prints what it shows, and optionally presses a button or key.
//
//   vexa-ui --pid N|--any [--class C] [--owner-class C] [--timeout MS] [steps...]
//           [--press ID | --key escape|enter | --close] [--gone-timeout MS] [--list]
//
// Steps, taken in order once the window is found (and printed):
//   --click ID        press button ID without waiting for anything
//   --select PATH     the window is the shell's folder browser: select PATH and press OK
//                     (or, when the browser does not take it, print "notselected" and cancel)
//   --move ID X Y     put the pointer at X,Y of control ID's client area (0: the
//                     window's own) and print "cursor ID X Y HANDLE"
//   --down, --up      press or release the left mouse button where the pointer is,
//                     then wait until the control there has taken (given back)
//                     the mouse capture; "unhandled down|up" when it never does
//   --type enter|space  the key to the focused control, without waiting for anything
//   --pixels ID       print "pixels ID COLOUR=COUNT ..." for the control's screen
//                     area, most frequent first (colours as 0xBBGGRR)
//   --state           print the window again
//
// Output, UTF-8, one item per line; texts escape "\" "\n" "\r" "\t":
//   hwnd, class, caption, rect L T R B, style, exstyle, classstyle, owner,
//   ownerclass, then "control ID CLASS TEXT" per child window in Z order, each
//   followed by "state ID STYLE EXSTYLE ENABLED L T R B" (client coordinates).
// Exit code 0 when the window was found (and the action taken), 2 when no
// window appeared in time, 3 when it did not go away after the action, 1 for
// bad usage.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <map>
#include <string>
#include <vector>

#include "Poll.h"

namespace {

std::string utf8(const std::wstring& text) {
    if (text.empty()) return {};
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
    return out;
}

std::string escaped(const std::wstring& text) {
    std::string out;
    for (char c : utf8(text)) {
        switch (c) {
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default: out += c;
        }
    }
    return out;
}

std::wstring className(HWND hwnd) {
    wchar_t buffer[256] = {};
    GetClassNameW(hwnd, buffer, 256);
    return buffer;
}

std::wstring windowText(HWND hwnd) {
    // WM_GETTEXT works across processes for every standard control.
    LRESULT length = SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    LRESULT copied = SendMessageW(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(copied));
    return text;
}

struct Search {
    DWORD pid;
    std::wstring windowClass;
    std::wstring ownerClass;
    std::vector<HWND> found;
};

BOOL CALLBACK collect(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if ((search->pid != 0 && pid != search->pid) || !IsWindowVisible(hwnd)) return TRUE;
    if (!search->windowClass.empty() && className(hwnd) != search->windowClass) return TRUE;
    if (!search->ownerClass.empty()) {
        HWND owner = GetWindow(hwnd, GW_OWNER);
        if (!owner || className(owner) != search->ownerClass) return TRUE;
    }
    search->found.push_back(hwnd);
    return TRUE;
}

std::vector<HWND> findWindows(DWORD pid, const std::wstring& windowClass, const std::wstring& ownerClass) {
    Search search{pid, windowClass, ownerClass, {}};
    EnumWindows(collect, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void printWindow(HWND hwnd) {
    RECT rect{};
    GetWindowRect(hwnd, &rect);
    HWND owner = GetWindow(hwnd, GW_OWNER);
    std::printf("hwnd 0x%llx\n", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(hwnd)));
    std::printf("class %s\n", escaped(className(hwnd)).c_str());
    std::printf("caption %s\n", escaped(windowText(hwnd)).c_str());
    std::printf("rect %ld %ld %ld %ld\n", rect.left, rect.top, rect.right, rect.bottom);
    std::printf("style 0x%lx\n", static_cast<unsigned long>(GetWindowLongPtrW(hwnd, GWL_STYLE)));
    std::printf("exstyle 0x%lx\n", static_cast<unsigned long>(GetWindowLongPtrW(hwnd, GWL_EXSTYLE)));
    std::printf("classstyle 0x%lx\n", static_cast<unsigned long>(GetClassLongPtrW(hwnd, GCL_STYLE)));
    std::printf("owner 0x%llx\n", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(owner)));
    std::printf("ownerclass %s\n", owner ? escaped(className(owner)).c_str() : "");
    GUITHREADINFO gui{};
    gui.cbSize = sizeof(gui);
    if (GetGUIThreadInfo(GetWindowThreadProcessId(hwnd, nullptr), &gui) && gui.hwndFocus)
        std::printf("focus %d\n", GetDlgCtrlID(gui.hwndFocus));
    for (HWND child = GetWindow(hwnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        std::printf("control %d %s %s\n", GetDlgCtrlID(child), escaped(className(child)).c_str(),
                    escaped(windowText(child)).c_str());
        RECT r{};
        GetWindowRect(child, &r);
        MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&r), 2);
        std::printf("state %d 0x%lx 0x%lx %d %ld %ld %ld %ld\n", GetDlgCtrlID(child),
                    static_cast<unsigned long>(GetWindowLongPtrW(child, GWL_STYLE)),
                    static_cast<unsigned long>(GetWindowLongPtrW(child, GWL_EXSTYLE)), IsWindowEnabled(child) ? 1 : 0,
                    r.left, r.top, r.right, r.bottom);
    }
    std::fflush(stdout);
}

// Returns once the thread of `window` has handled everything sent to it
// before: a message sent after others is handled after them.
void roundTrip(HWND window) {
    DWORD_PTR unused = 0;
    SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 60000, &unused);
}

// Polls `condition` until it holds, for up to a minute.
template <typename Condition>
bool pollFor(Condition condition) {
    return vexa::test::pollUntil(condition, 60000);
}

// Returns once the thread of `window` has handled the input queued for it
// so far: a window paints only when no posted message and no input is
// waiting, so once an invalidated window is valid again, that input is done.
void inputHandled(HWND window) {
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE);
    pollFor([&] { return !GetUpdateRect(window, nullptr, FALSE); });
}

void postKey(HWND dialog, WPARAM key) {
    // Keys go to the focused control of the dialog's thread, where the
    // dialog's own message loop turns them into commands.
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    HWND target = dialog;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info) && info.hwndFocus) target = info.hwndFocus;
    // With its scan code, so that the dialog's loop can translate it into
    // the character a keyboard would type.
    const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(static_cast<UINT>(key), MAPVK_VK_TO_VSC)) << 16;
    PostMessageW(target, WM_KEYDOWN, key, 1 | scan);
    PostMessageW(target, WM_KEYUP, key, 0xC0000001 | scan);
}

HWND controlOf(HWND window, int id) { return id == 0 ? window : GetDlgItem(window, id); }

// The shell's folder browser takes a path in its own address space. Its tree
// fills in while it starts, so the selection is tried until the browser's
// folder box names the path's last folder (or the drive).
bool selectInBrowser(HWND browser, const std::wstring& path) {
    DWORD pid = 0;
    GetWindowThreadProcessId(browser, &pid);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, pid);
    if (!process) return false;
    const SIZE_T bytes = (path.size() + 1) * sizeof(wchar_t);
    void* remote = VirtualAllocEx(process, nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    bool ok = remote && WriteProcessMemory(process, remote, path.c_str(), bytes, nullptr);
    std::wstring last = path;
    while (!last.empty() && last.back() == L'\\') last.pop_back();
    last = last.substr(last.find_last_of(L'\\') + 1);
    bool selected = false;
    std::wstring shown;
    for (int attempt = 0; ok && !selected && attempt < 40; ++attempt) {
        // BFFM_SETSELECTIONW, the path given as text.
        SendMessageW(browser, WM_USER + 103, TRUE, reinterpret_cast<LPARAM>(remote));
        shown = windowText(GetDlgItem(browser, 0x3745));
        selected = !shown.empty() && shown.find(last) != std::wstring::npos;
        if (!selected) Sleep(250);
    }
    if (remote) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    if (!selected) {
        // Closed again, so that the caller may open it anew and retry.
        std::printf("shown %s\n", escaped(shown).c_str());
        PostMessageW(browser, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(browser, IDCANCEL)));
        pollFor([&] { return !IsWindow(browser); });
        return false;
    }
    PostMessageW(browser, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(browser, IDOK)));
    // Gone means its owner has the folder.
    pollFor([&] { return !IsWindow(browser); });
    return true;
}

void moveTo(HWND window, int id, int x, int y) {
    POINT point{x, y};
    ClientToScreen(controlOf(window, id), &point);
    SetCursorPos(point.x, point.y);
    // A small move too, so that the window under the pointer hears of it.
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = MOUSEEVENTF_MOVE;
    SendInput(1, &input, sizeof(input));
    inputHandled(window);
    CURSORINFO info{};
    info.cbSize = sizeof(info);
    GetCursorInfo(&info);
    std::printf("cursor %d %d %d 0x%llx\n", id, x, y,
                static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(info.hCursor)));
}

// Presses or releases the left mouse button where the pointer is, and returns
// once the window's thread has handled it. A press on a button or a link
// takes the mouse capture and the release gives it back, so the capture of
// that thread is the sign: set after the press, cleared after the release.
void button(HWND window, DWORD flag) {
    const DWORD thread = GetWindowThreadProcessId(window, nullptr);
    auto captured = [thread] {
        GUITHREADINFO info{};
        info.cbSize = sizeof(info);
        return GetGUIThreadInfo(thread, &info) && info.hwndCapture != nullptr;
    };
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flag;
    SendInput(1, &input, sizeof(input));
    const bool pressed = flag == MOUSEEVENTF_LEFTDOWN;
    if (!pollFor([&] { return captured() == pressed; }))
        std::printf("unhandled %s\n", pressed ? "down" : "up");
}

void printPixels(HWND window, int id) {
    HWND control = controlOf(window, id);
    RECT r{};
    GetWindowRect(control, &r);
    std::map<COLORREF, int> counts;
    HDC screen = GetDC(nullptr);
    for (LONG y = r.top; y < r.bottom; ++y)
        for (LONG x = r.left; x < r.right; ++x) ++counts[GetPixel(screen, x, y)];
    ReleaseDC(nullptr, screen);
    std::vector<std::pair<int, COLORREF>> sorted;
    for (const auto& [colour, count] : counts) sorted.emplace_back(count, colour);
    std::sort(sorted.rbegin(), sorted.rend());
    std::printf("pixels %d", id);
    for (const auto& [count, colour] : sorted) std::printf(" 0x%06lx=%d", static_cast<unsigned long>(colour), count);
    std::printf("\n");
}

int usage() {
    std::fprintf(stderr,
                 "usage: vexa-ui --pid N|--any [--class C] [--owner-class C] [--timeout MS] [steps...]"
                 " [--press ID | --key escape|enter | --close] [--gone-timeout MS] [--list]\n");
    return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    DWORD pid = 0;
    std::wstring windowClass = L"#32770";
    DWORD timeout = 10000;
    DWORD goneTimeout = 5000;
    int pressId = -1;
    std::wstring key;
    bool close = false;
    bool list = false;
    bool any = false;
    std::wstring ownerClass;
    std::vector<std::vector<std::wstring>> steps;
    for (int i = 1; i < argc; ++i) {
        std::wstring arg = argv[i];
        auto next = [&]() -> std::wstring { return i + 1 < argc ? argv[++i] : L""; };
        if (arg == L"--pid") pid = std::wcstoul(next().c_str(), nullptr, 0);
        else if (arg == L"--class") windowClass = next();
        else if (arg == L"--timeout") timeout = std::wcstoul(next().c_str(), nullptr, 0);
        else if (arg == L"--gone-timeout") goneTimeout = std::wcstoul(next().c_str(), nullptr, 0);
        else if (arg == L"--press") pressId = static_cast<int>(std::wcstol(next().c_str(), nullptr, 0));
        else if (arg == L"--key") key = next();
        else if (arg == L"--close") close = true;
        else if (arg == L"--list") list = true;
        else if (arg == L"--any") any = true;
        else if (arg == L"--owner-class") ownerClass = next();
        else if (arg == L"--select" || arg == L"--type" || arg == L"--pixels" || arg == L"--click") steps.push_back({arg, next()});
        else if (arg == L"--move") {
            std::wstring id = next(), x = next(), y = next();
            steps.push_back({arg, id, x, y});
        } else if (arg == L"--down" || arg == L"--up" || arg == L"--state") steps.push_back({arg});
        else return usage();
    }
    if (pid == 0 && !any) return usage();
    if (windowClass == L"*") windowClass.clear();

    HWND window = nullptr;
    std::vector<HWND> windows;
    const bool found = vexa::test::pollUntil(
        [&] {
            windows = findWindows(pid, windowClass, ownerClass);
            return list || !windows.empty();
        },
        timeout);
    if (list) {
        for (HWND w : windows) printWindow(w);
        return windows.empty() ? 2 : 0;
    }
    if (!found) {
        std::printf("notfound\n");
        return 2;
    }
    window = windows.front();
    // A window whose thread answers has finished its start-up (a dialog its
    // WM_INITDIALOG) before it is read.
    roundTrip(window);
    printWindow(window);

    auto number = [](const std::wstring& text) { return static_cast<int>(std::wcstol(text.c_str(), nullptr, 0)); };
    for (const auto& step : steps) {
        if (step[0] == L"--select") {
            if (!selectInBrowser(window, step[1])) {
                std::printf("notselected\n");
                return 4;
            }
        } else if (step[0] == L"--click") {
            const int id = number(step[1]);
            // Sent without waiting (the command may open a modal window),
            // then a round trip: handled in order, it returns once the
            // command has been taken, or from inside the window it opened.
            SendNotifyMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                               reinterpret_cast<LPARAM>(GetDlgItem(window, id)));
            roundTrip(window);
        } else if (step[0] == L"--move") {
            moveTo(window, number(step[1]), number(step[2]), number(step[3]));
        } else if (step[0] == L"--down") {
            button(window, MOUSEEVENTF_LEFTDOWN);
        } else if (step[0] == L"--up") {
            button(window, MOUSEEVENTF_LEFTUP);
        } else if (step[0] == L"--type") {
            // Typing goes to the active window: a program started meanwhile
            // (with no window manager to give it back) may have taken that.
            // Once active again, the dialog gives the focus back to the
            // control that had it: that is where the key goes.
            SetForegroundWindow(window);
            pollFor([&] {
                GUITHREADINFO info{};
                info.cbSize = sizeof(info);
                return GetForegroundWindow() == window &&
                       GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) &&
                       info.hwndActive == window && info.hwndFocus != nullptr;
            });
            // What the keys do, the caller waits for.
            postKey(window, step[1] == L"space" ? VK_SPACE : VK_RETURN);
        } else if (step[0] == L"--pixels") {
            printPixels(window, number(step[1]));
        } else if (step[0] == L"--state") {
            printWindow(window);
        }
        std::fflush(stdout);
    }

    bool acted = true;
    if (pressId >= 0) {
        HWND button = GetDlgItem(window, pressId);
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(pressId, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    } else if (key == L"escape") {
        postKey(window, VK_ESCAPE);
    } else if (key == L"enter") {
        postKey(window, VK_RETURN);
    } else if (close) {
        PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    } else {
        acted = false;
    }
    if (acted) {
        if (!vexa::test::pollUntil([&] { return !IsWindow(window) || !IsWindowVisible(window); }, goneTimeout)) {
            std::printf("stillthere\n");
            return 3;
        }
        std::printf("gone\n");
    }
    return 0;
}
