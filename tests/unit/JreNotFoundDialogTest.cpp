// The "JRE Not Found" dialog in this process, with the longest message it
// opens with: the message is read whole, and nothing is covered or cut off.
#include <gtest/gtest.h>

#include <windows.h>

#include "Dialogs.h"
#include "foundation/MessageIds.h"
#include "foundation/Text.h"
#include "ui/JreNotFoundDialog.h"
#include "ui/Messages.h"

using namespace vexa;

TEST(JreNotFoundDialog, GrowsForAMessageLongerThanItsBoxAndCoversNothing) {
    const std::wstring message =
        formatMessage(loadMessage(IDS_JRE_NOT_FOUND_SERVER), {std::wstring(L"version between 1.8.0.202 and 11.0.2")});
    JreNotFoundDialog dialog;
    test::runDialog([&] { return dialog.run(message, JvmType::Server, nullptr); },
                    [&](HWND window) {
                        wchar_t shown[512] = {};
                        GetDlgItemTextW(window, 203, shown, 512);
                        EXPECT_EQ(shown, message);
                        EXPECT_EQ(test::layoutFaults(window), std::vector<std::string>{});
                        PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
                    });
}
