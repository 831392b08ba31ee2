// The "Java Exception" dialog in this process: its template, the read-only
// trace, the resize table with size grip and minimum size, and its results.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <future>
#include <string>
#include <thread>

#include "resources/resource.h"
#include "ui/JavaExceptionDialog.h"

using namespace vexa;

namespace {

const wchar_t kTrace[] =
    L"java.lang.IllegalStateException: d\x00E9j\x00E0 vu \x65E5\x672C\n"
    L"\tat demo.Main.main(Main.java:12)\n";

// Runs the dialog on a thread of its own; `act` gets the dialog window once
// it is up and answers it.
template <typename Act>
INT_PTR runDialog(const std::wstring& trace, Act act) {
    std::promise<DWORD> threadId;
    std::future<DWORD> idFuture = threadId.get_future();
    INT_PTR result = -2;
    std::thread dialogThread([&] {
        threadId.set_value(GetCurrentThreadId());
        JavaExceptionDialog dialog(trace);
        result = dialog.run(nullptr);
    });
    const DWORD id = idFuture.get();
    HWND dialog = nullptr;
    for (int i = 0; i < 6000 && !dialog; ++i) {
        EnumThreadWindows(
            id,
            [](HWND hwnd, LPARAM found) {
                if (IsWindowVisible(hwnd)) *reinterpret_cast<HWND*>(found) = hwnd;
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&dialog));
        if (!dialog) Sleep(10);
    }
    if (dialog) act(dialog);
    else PostThreadMessageW(id, WM_QUIT, 0, 0);
    dialogThread.join();
    return result;
}

std::wstring textOf(HWND window) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

RECT clientRectOf(HWND dialog, int id) {
    RECT rect{};
    GetWindowRect(GetDlgItem(dialog, id), &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// Where the dialog manager puts a control given in dialog units: position
// and size are converted separately.
RECT dialogUnits(HWND dialog, int x, int y, int width, int height) {
    RECT rect{x, y, width, height};
    MapDialogRect(dialog, &rect);
    return {rect.left, rect.top, rect.left + rect.right, rect.top + rect.bottom};
}

void expectRect(const RECT& actual, const RECT& expected, const char* what) {
    EXPECT_EQ(actual.left, expected.left) << what;
    EXPECT_EQ(actual.top, expected.top) << what;
    EXPECT_EQ(actual.right, expected.right) << what;
    EXPECT_EQ(actual.bottom, expected.bottom) << what;
}

}  // namespace

TEST(JavaExceptionDialog, ShowsTheTemplateWithTheTraceReadOnly) {
    runDialog(kTrace, [](HWND dialog) {
        EXPECT_EQ(textOf(dialog), L"Java Exception");
        const LONG_PTR style = GetWindowLongPtrW(dialog, GWL_STYLE);
        EXPECT_TRUE(style & WS_THICKFRAME);
        EXPECT_TRUE(style & WS_SYSMENU);
        EXPECT_TRUE(style & WS_CLIPCHILDREN);
        EXPECT_TRUE(GetWindowLongPtrW(dialog, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME);
        // Not clipped away, so that the dialog paints the inside of the group box.
        EXPECT_TRUE(GetWindowLongPtrW(GetDlgItem(dialog, IDC_EXCEPTION_GROUP), GWL_EXSTYLE) & WS_EX_TRANSPARENT);

        struct Expected {
            int id;
            const wchar_t* text;
            int x, y, width, height;
        };
        const Expected controls[] = {
            {IDC_EXCEPTION_GROUP, L"Uncaught Exception", 8, 11, 259, 221},
            {IDC_EXCEPTION_ICON, nullptr, 16, 26, 20, 20},
            {IDC_EXCEPTION_INTRO, L"The java process has thrown the following uncaught exception:", 42, 28, 217, 16},
            {IDC_EXCEPTION_TRACE, nullptr, 16, 54, 243, 102},
            {IDC_EXCEPTION_HINT,
             L"Press Ignore to continue and ignore the exception or press Stop to close the application.", 16, 164,
             243, 18},
            {IDC_EXCEPTION_WARNING, L"WARNING: If you choose to Stop the application any unsaved data will be lost.",
             16, 187, 243, 18},
            {IDOK, L"Ignore", 153, 210, 50, 14},
            {IDCANCEL, L"Stop", 209, 210, 50, 14},
        };
        for (const Expected& c : controls) {
            HWND control = GetDlgItem(dialog, c.id);
            ASSERT_NE(control, nullptr) << c.id;
            if (c.text) {
                EXPECT_EQ(textOf(control), c.text);
            }
            const RECT actual = clientRectOf(dialog, c.id);
            const RECT expected = dialogUnits(dialog, c.x, c.y, c.width, c.height);
            if (c.id == IDC_EXCEPTION_ICON) {
                // An icon control takes the size of its icon.
                EXPECT_EQ(actual.left, expected.left);
                EXPECT_EQ(actual.top, expected.top);
            } else {
                expectRect(actual, expected, std::to_string(c.id).c_str());
            }
        }
        EXPECT_NE(SendDlgItemMessageW(dialog, IDC_EXCEPTION_ICON, STM_GETICON, 0, 0), 0);
        EXPECT_TRUE(GetWindowLongPtrW(GetDlgItem(dialog, IDOK), GWL_STYLE) & BS_DEFPUSHBUTTON);

        HWND trace = GetDlgItem(dialog, IDC_EXCEPTION_TRACE);
        EXPECT_EQ(textOf(trace), L"java.lang.IllegalStateException: d\x00E9j\x00E0 vu \x65E5\x672C\r\n"
                                 L"\tat demo.Main.main(Main.java:12)\r\n");
        const LONG_PTR traceStyle = GetWindowLongPtrW(trace, GWL_STYLE);
        EXPECT_TRUE(traceStyle & ES_READONLY);
        EXPECT_TRUE(traceStyle & ES_MULTILINE);
        EXPECT_TRUE(traceStyle & WS_VSCROLL);
        EXPECT_TRUE(traceStyle & WS_HSCROLL);
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
}

TEST(JavaExceptionDialog, ResizesByItsTableAndKeepsItsInitialSizeAsMinimum) {
    runDialog(kTrace, [](HWND dialog) {
        RECT window{};
        GetWindowRect(dialog, &window);
        RECT client{};
        GetClientRect(dialog, &client);
        const int ids[] = {IDC_EXCEPTION_GROUP, IDC_EXCEPTION_ICON, IDC_EXCEPTION_INTRO, IDC_EXCEPTION_TRACE,
                           IDC_EXCEPTION_HINT,  IDC_EXCEPTION_WARNING, IDOK,           IDCANCEL, 0xE801};
        RECT before[std::size(ids)];
        for (size_t i = 0; i < std::size(ids); ++i) before[i] = clientRectOf(dialog, ids[i]);
        // The size grip sits in the bottom-right corner.
        EXPECT_EQ(before[8].right, client.right);
        EXPECT_EQ(before[8].bottom, client.bottom);

        MINMAXINFO limits{};
        SendMessageW(dialog, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
        EXPECT_EQ(limits.ptMinTrackSize.x, window.right - window.left);
        EXPECT_EQ(limits.ptMinTrackSize.y, window.bottom - window.top);

        const int dx = 120;
        const int dy = 70;
        SetWindowPos(dialog, nullptr, 0, 0, window.right - window.left + dx, window.bottom - window.top + dy,
                     SWP_NOMOVE | SWP_NOZORDER);
        // Sizing grows right/bottom by the change, moving shifts the whole rectangle.
        const RECT expected[] = {
            {before[0].left, before[0].top, before[0].right + dx, before[0].bottom + dy},
            before[1],
            {before[2].left, before[2].top, before[2].right + dx, before[2].bottom},
            {before[3].left, before[3].top, before[3].right + dx, before[3].bottom + dy},
            {before[4].left, before[4].top + dy, before[4].right + dx, before[4].bottom + dy},
            {before[5].left, before[5].top + dy, before[5].right + dx, before[5].bottom + dy},
            {before[6].left + dx, before[6].top + dy, before[6].right + dx, before[6].bottom + dy},
            {before[7].left + dx, before[7].top + dy, before[7].right + dx, before[7].bottom + dy},
            {before[8].left + dx, before[8].top + dy, before[8].right + dx, before[8].bottom + dy},
        };
        for (size_t i = 0; i < std::size(ids); ++i)
            expectRect(clientRectOf(dialog, ids[i]), expected[i], std::to_string(ids[i]).c_str());

        // Maximised, the grip hides; restored, it shows again.
        ShowWindow(dialog, SW_MAXIMIZE);
        EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, 0xE801)));
        ShowWindow(dialog, SW_RESTORE);
        EXPECT_TRUE(IsWindowVisible(GetDlgItem(dialog, 0xE801)));
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
}

TEST(JavaExceptionDialog, IgnoreGivesOneAndStopOrTheCloseBoxTwo) {
    struct Case {
        const char* what;
        UINT message;
        WPARAM wParam;
        INT_PTR expected;
    };
    const Case cases[] = {
        {"Ignore", WM_COMMAND, IDOK, IDOK},
        {"Stop", WM_COMMAND, IDCANCEL, IDCANCEL},
        {"close box", WM_SYSCOMMAND, SC_CLOSE, IDCANCEL},
    };
    for (const Case& c : cases) {
        INT_PTR result = runDialog(kTrace, [&](HWND dialog) { PostMessageW(dialog, c.message, c.wParam, 0); });
        EXPECT_EQ(result, c.expected) << c.what;
    }
}

TEST(JavaExceptionDialog, DisplayTextUsesCarriageReturnLineFeed) {
    EXPECT_EQ(JavaExceptionDialog::displayText(L"a\nb\r\nc\n\n"), L"a\r\nb\r\nc\r\n\r\n");
    EXPECT_EQ(JavaExceptionDialog::displayText(L"\n"), L"\r\n");
    EXPECT_EQ(JavaExceptionDialog::displayText(L"no break"), L"no break");
}
