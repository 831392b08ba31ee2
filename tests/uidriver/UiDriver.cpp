// vexa-ui: finds a top-level window (by default a message box or dialog) of a
// given process, prints what it shows, and optionally presses a button or key.
//
//   vexa-ui --pid N|--any [--class C] [--timeout MS] [--press ID | --key escape|enter
//           | --close] [--gone-timeout MS] [--list]
//
// Output, UTF-8, one item per line; texts escape "\" "\n" "\r" "\t":
//   hwnd, class, caption, rect L T R B, style, exstyle, classstyle, owner,
//   ownerclass, then "control ID CLASS TEXT" per child window in Z order.
// Exit code 0 when the window was found (and the action taken), 2 when no
// window appeared in time, 3 when it did not go away after the action, 1 for
// bad usage.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

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
    std::vector<HWND> found;
};

BOOL CALLBACK collect(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if ((search->pid != 0 && pid != search->pid) || !IsWindowVisible(hwnd)) return TRUE;
    if (!search->windowClass.empty() && className(hwnd) != search->windowClass) return TRUE;
    search->found.push_back(hwnd);
    return TRUE;
}

std::vector<HWND> findWindows(DWORD pid, const std::wstring& windowClass) {
    Search search{pid, windowClass, {}};
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
    for (HWND child = GetWindow(hwnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        std::printf("control %d %s %s\n", GetDlgCtrlID(child), escaped(className(child)).c_str(),
                    escaped(windowText(child)).c_str());
    }
    std::fflush(stdout);
}

void postKey(HWND dialog, WPARAM key) {
    // Keys go to the focused control of the dialog's thread, where the
    // dialog's own message loop turns them into commands.
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    HWND target = dialog;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info) && info.hwndFocus) target = info.hwndFocus;
    PostMessageW(target, WM_KEYDOWN, key, 1);
    PostMessageW(target, WM_KEYUP, key, 0xC0000001);
}

int usage() {
    std::fprintf(stderr,
                 "usage: vexa-ui --pid N|--any [--class C] [--timeout MS] [--press ID | --key escape|enter | --close]"
                 " [--gone-timeout MS] [--list]\n");
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
        else return usage();
    }
    if (pid == 0 && !any) return usage();
    if (windowClass == L"*") windowClass.clear();

    HWND window = nullptr;
    const ULONGLONG deadline = GetTickCount64() + timeout;
    for (;;) {
        std::vector<HWND> windows = findWindows(pid, windowClass);
        if (list) {
            for (HWND w : windows) printWindow(w);
            return windows.empty() ? 2 : 0;
        }
        if (!windows.empty()) {
            window = windows.front();
            break;
        }
        if (GetTickCount64() >= deadline) {
            std::printf("notfound\n");
            return 2;
        }
        Sleep(20);
    }
    // Give the window a moment to finish its start-up before reading it.
    Sleep(50);
    printWindow(window);

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
        const ULONGLONG goneBy = GetTickCount64() + goneTimeout;
        while (IsWindow(window) && IsWindowVisible(window)) {
            if (GetTickCount64() >= goneBy) {
                std::printf("stillthere\n");
                return 3;
            }
            Sleep(20);
        }
        std::printf("gone\n");
    }
    return 0;
}
