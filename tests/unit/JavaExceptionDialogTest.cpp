// The "Java Exception" dialog in this process as its user sees it: the trace
// read-only, every text whole, and a layout that holds as the dialog grows.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "Dialogs.h"
#include "resources/resource.h"
#include "ui/JavaExceptionDialog.h"

using namespace vexa;
using namespace vexa::test;

namespace {

const wchar_t kTrace[] =
    L"java.lang.IllegalStateException: d\x00E9j\x00E0 vu \x65E5\x672C\n"
    L"\tat demo.Main.main(Main.java:12)\n";

template <typename Act>
INT_PTR runDialog(const std::wstring& trace, Act act) {
    return vexa::test::runDialog([&] { return JavaExceptionDialog(trace).run(nullptr); }, act);
}

SIZE sizeOf(const RECT& r) { return {r.right - r.left, r.bottom - r.top}; }

}  // namespace

TEST(JavaExceptionDialog, ShowsTheTraceReadOnlyAndEveryTextWhole) {
    runDialog(kTrace, [](HWND dialog) {
        EXPECT_EQ(textOf(dialog), L"Java Exception");
        const LONG_PTR style = GetWindowLongPtrW(dialog, GWL_STYLE);
        EXPECT_TRUE(style & WS_THICKFRAME);
        EXPECT_TRUE(style & WS_SYSMENU);
        EXPECT_TRUE(style & WS_CLIPCHILDREN);
        EXPECT_TRUE(GetWindowLongPtrW(dialog, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME);
        // Not clipped away, so that the dialog paints the inside of the group box.
        EXPECT_TRUE(GetWindowLongPtrW(GetDlgItem(dialog, IDC_EXCEPTION_GROUP), GWL_EXSTYLE) & WS_EX_TRANSPARENT);
        const std::pair<int, const wchar_t*> texts[] = {
            {IDC_EXCEPTION_GROUP, L"Uncaught Exception"},
            {IDC_EXCEPTION_INTRO, L"The java process has thrown the following uncaught exception:"},
            {IDC_EXCEPTION_HINT,
             L"Press Ignore to continue and ignore the exception or press Stop to close the application."},
            {IDC_EXCEPTION_WARNING, L"WARNING: If you choose to Stop the application any unsaved data will be lost."},
            {IDOK, L"Ignore"},
            {IDCANCEL, L"Stop"},
        };
        for (const auto& [id, text] : texts) EXPECT_EQ(textOf(GetDlgItem(dialog, id)), text);
        EXPECT_NE(SendDlgItemMessageW(dialog, IDC_EXCEPTION_ICON, STM_GETICON, 0, 0), 0);
        EXPECT_TRUE(GetWindowLongPtrW(GetDlgItem(dialog, IDOK), GWL_STYLE) & BS_DEFPUSHBUTTON);
        EXPECT_EQ(layoutFaults(dialog), std::vector<std::string>{});
        // The icon beside the introduction, the trace below it, the hints
        // below the trace, Ignore then Stop below them all.
        const RECT icon = controlRect(dialog, IDC_EXCEPTION_ICON), intro = controlRect(dialog, IDC_EXCEPTION_INTRO);
        const RECT trace = controlRect(dialog, IDC_EXCEPTION_TRACE), hint = controlRect(dialog, IDC_EXCEPTION_HINT);
        const RECT warning = controlRect(dialog, IDC_EXCEPTION_WARNING), group = controlRect(dialog, IDC_EXCEPTION_GROUP);
        const RECT ignore = controlRect(dialog, IDOK), stop = controlRect(dialog, IDCANCEL);
        EXPECT_LE(icon.right, intro.left);
        EXPECT_LE(intro.bottom, trace.top);
        EXPECT_LE(trace.bottom, hint.top);
        EXPECT_LE(hint.bottom, warning.top);
        EXPECT_LE(ignore.right, stop.left);
        EXPECT_EQ(ignore.top, stop.top);
        EXPECT_LE(warning.bottom, stop.top);
        EXPECT_LE(stop.right, group.right);

        HWND traceBox = GetDlgItem(dialog, IDC_EXCEPTION_TRACE);
        EXPECT_EQ(textOf(traceBox), L"java.lang.IllegalStateException: d\x00E9j\x00E0 vu \x65E5\x672C\r\n"
                                    L"\tat demo.Main.main(Main.java:12)\r\n");
        const LONG_PTR traceStyle = GetWindowLongPtrW(traceBox, GWL_STYLE);
        EXPECT_TRUE(traceStyle & ES_READONLY);
        EXPECT_TRUE(traceStyle & ES_MULTILINE);
        EXPECT_TRUE(traceStyle & WS_VSCROLL);
        EXPECT_TRUE(traceStyle & WS_HSCROLL);
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
}

TEST(JavaExceptionDialog, GrowsTheTraceKeepsTheButtonsInTheCornerAndNeverShrinksBelowItsFirstSize) {
    runDialog(kTrace, [](HWND dialog) {
        RECT first{}, client{};
        GetWindowRect(dialog, &first);
        GetClientRect(dialog, &client);
        const int ids[] = {IDC_EXCEPTION_TRACE, IDC_EXCEPTION_HINT, IDC_EXCEPTION_WARNING, IDOK, IDCANCEL, 0xE801};
        RECT before[std::size(ids)];
        for (size_t i = 0; i < std::size(ids); ++i) before[i] = controlRect(dialog, ids[i]);
        // Made smaller, it keeps the size it opened with.
        const SIZE size = sizeOf(first);
        SetWindowPos(dialog, nullptr, 0, 0, size.cx / 2, size.cy / 2, SWP_NOMOVE | SWP_NOZORDER);
        RECT now{};
        GetWindowRect(dialog, &now);
        EXPECT_EQ(sizeOf(now).cx, size.cx);
        EXPECT_EQ(sizeOf(now).cy, size.cy);

        // Made larger, the trace takes all the room gained; what lies below
        // it keeps its size and its distance to the bottom edge, the buttons
        // and the size grip their distance to the right edge too.
        const int dx = 120, dy = 70;
        SetWindowPos(dialog, nullptr, 0, 0, size.cx + dx, size.cy + dy, SWP_NOMOVE | SWP_NOZORDER);
        RECT grown{};
        GetClientRect(dialog, &grown);
        EXPECT_EQ(grown.bottom - client.bottom, dy);
        for (size_t i = 0; i < std::size(ids); ++i) {
            SCOPED_TRACE(ids[i]);
            const RECT after = controlRect(dialog, ids[i]);
            const SIZE was = sizeOf(before[i]), is = sizeOf(after);
            if (ids[i] == IDC_EXCEPTION_TRACE) {
                EXPECT_EQ(after.top, before[i].top);
                EXPECT_EQ(is.cx, was.cx + dx);
                EXPECT_EQ(is.cy, was.cy + dy);
                continue;
            }
            EXPECT_EQ(grown.bottom - after.bottom, client.bottom - before[i].bottom);
            EXPECT_EQ(is.cy, was.cy);
            if (ids[i] == IDC_EXCEPTION_HINT || ids[i] == IDC_EXCEPTION_WARNING) continue;  // as wide as the trace
            EXPECT_EQ(grown.right - after.right, client.right - before[i].right);
            EXPECT_EQ(is.cx, was.cx);
        }
        EXPECT_EQ(layoutFaults(dialog), std::vector<std::string>{});

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
