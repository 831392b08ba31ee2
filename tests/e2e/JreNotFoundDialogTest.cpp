// The "JRE Not Found" dialog as a user meets it: vexa.exe without a runtime,
// driven through the UI helper (buttons, the shell's folder browser, pointer
// and keys), the chosen folder remembered in the settings files, and the
// download link opened by a harmless stand-in for the web browser.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "Dialogs.h"
#include "StandIn.h"
#include "TestSupport.h"

using namespace vexa::test;
using standin::JavaRegistry;

namespace {

const wchar_t kAddress[] = L"https://adoptium.net/";
const char kProduct[] = "[Product Information]\r\nProduct Name=Prod\r\nProduct Code=C1\r\n";

struct ControlState {
    unsigned long style = 0;
    bool enabled = false;
};

std::map<int, ControlState> states(const WindowSnapshot& snapshot) {
    std::map<int, ControlState> out;
    for (const std::string& line : snapshot.lines) {
        std::istringstream in(line);
        std::string key, style, exStyle;
        int id = 0, enabled = 0;
        if (in >> key >> id >> style >> exStyle >> enabled && key == "state")
            out[id] = {std::stoul(style, nullptr, 0), enabled != 0};
    }
    return out;
}

// The dialog of `pid` as it stands, with `steps` of the UI helper taken.
WindowSnapshot dialog(DWORD pid, const std::wstring& steps = L"") {
    return runUiHelper(pid, L"--class #32770 " + steps);
}

bool okEnabled(DWORD pid) { return states(dialog(pid))[IDOK].enabled; }

// Browse..., then the folder chosen in the shell's folder browser. A browser
// still filling its tree under load may not take the path: it is closed and
// opened again.
void browse(DWORD pid, const std::wstring& folder) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        dialog(pid, L"--click 202");
        WindowSnapshot browser = runUiHelper(pid, L"--class #32770 --owner-class #32770 --select " + quoted(folder));
        ASSERT_TRUE(browser.found);
        bool taken = true;
        // The helper returns once the browser is gone, with the folder taken or not.
        for (const std::string& line : browser.lines) taken = taken && line != "notselected";
        if (taken) return;
    }
    FAIL() << "the folder browser did not take " << narrow(folder);
}

// An application whose main class writes the JVM library it runs on to `out`.
std::string application(const std::wstring& dir, const std::wstring& out, const std::string& extra = "") {
    const std::string escaped = withSlashes(out);
    standin::writeScript(dir, L"classes\\demo\\Hello.class",
                         "method main\n    write \"" + escaped + "\" ${env:VEXA_JVM_PATH}\n");
    return "[Java Runtime Environment]\r\nMain Class=demo.Hello\r\n" + extra + "[Class Path]\r\nClass Path=" +
           narrow(dir + L"classes") + "\r\n";
}

standin::JavaHome runtime(const std::wstring& home, const wchar_t* library = L"bin\\client\\jvm.dll") {
    standin::RuntimeOptions options;
    options.jvmPath = library;
    return standin::JavaHome(home, options);
}

// How many pixels of the link have exactly this colour (0x00BBGGRR).
int pixelsOf(const WindowSnapshot& snapshot, unsigned long colour) {
    for (const std::string& line : snapshot.lines) {
        if (line.rfind("pixels ", 0) != 0) continue;
        std::istringstream in(line.substr(7));
        std::string item;
        in >> item;  // the control id
        while (in >> item) {
            const size_t eq = item.find('=');
            if (std::stoul(item.substr(0, eq), nullptr, 0) == colour) return std::stoi(item.substr(eq + 1));
        }
    }
    return 0;
}

std::string cursorAt(const WindowSnapshot& snapshot, int which) {
    int seen = 0;
    for (const std::string& line : snapshot.lines)
        if (line.rfind("cursor ", 0) == 0 && seen++ == which) return line.substr(line.rfind(' ') + 1);
    return "none";
}

}  // namespace

TEST(JreDiscoveryDialog, ShowsEveryTextWholeWithNothingCoveredOrCutOff) {
    HMODULE module = LoadLibraryExW(artefact(L"vexa.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    EXPECT_NE(FindResourceExW(module, RT_DIALOG, MAKEINTRESOURCEW(201), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_UK)),
              nullptr);
    HWND window = CreateDialogParamW(module, MAKEINTRESOURCEW(201), nullptr,
                                     [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
    ASSERT_NE(window, nullptr);
    wchar_t caption[64] = {};
    GetWindowTextW(window, caption, 64);
    EXPECT_STREQ(caption, L"JRE Not Found");
    const LONG_PTR dialogStyle = GetWindowLongPtrW(window, GWL_STYLE);
    for (LONG_PTR bit : {LONG_PTR{WS_POPUP}, LONG_PTR{WS_CAPTION}, LONG_PTR{WS_SYSMENU}, LONG_PTR{DS_MODALFRAME}})
        EXPECT_EQ(dialogStyle & bit, bit) << std::hex << bit;
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)), sizeof(font), &font);
    EXPECT_STREQ(font.lfFaceName, L"MS Shell Dlg");
    HDC screen = GetDC(nullptr);
    EXPECT_EQ(font.lfHeight, -MulDiv(8, GetDeviceCaps(screen, LOGPIXELSY), 72));
    ReleaseDC(nullptr, screen);

    // The controls in the order Tab visits them.
    struct Row {
        int id;
        const wchar_t* className;
        const wchar_t* text;  // null: not compared (the icon)
        LONG_PTR styles;      // bits that must be set
    };
    const LONG_PTR tab = WS_TABSTOP;
    const Row rows[] = {
        {1, L"Button", L"OK", tab | BS_DEFPUSHBUTTON},
        {2, L"Button", L"Cancel", tab},
        {201, L"Edit", L"", tab | ES_READONLY | ES_AUTOHSCROLL},
        {-1, L"Static", L"JRE Path:", WS_GROUP},
        {202, L"Button", L"Browse...", tab},
        {-1, L"Button", L"Missing JRE", BS_GROUPBOX},
        {204, L"Static", nullptr, SS_ICON},
        {203, L"Static", L"", 0},
        {205, L"Static", kAddress, 0},
        {206, L"Static", L"If you have a JRE installed you can browse for it below:", 0},
    };
    HWND child = GetWindow(window, GW_CHILD);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.id);
        ASSERT_NE(child, nullptr);
        EXPECT_EQ(GetDlgCtrlID(child), row.id);
        wchar_t className[32] = {}, text[128] = {};
        GetClassNameW(child, className, 32);
        GetWindowTextW(child, text, 128);
        EXPECT_EQ(lstrcmpiW(className, row.className), 0) << narrow(className);
        if (row.text) EXPECT_STREQ(text, row.text);
        const LONG_PTR style = GetWindowLongPtrW(child, GWL_STYLE);
        if (row.styles & 0xF) EXPECT_EQ(style & 0xF, row.styles & 0xF);  // the button or static type
        EXPECT_EQ(style & row.styles & ~0xFLL, row.styles & ~0xFLL);
        child = GetWindow(child, GW_HWNDNEXT);
    }
    EXPECT_EQ(child, nullptr);
    // The edit has a border, the link no tab stop, and the icon is the system's error icon.
    EXPECT_TRUE((GetWindowLongPtrW(GetDlgItem(window, 201), GWL_STYLE) & WS_BORDER) ||
                (GetWindowLongPtrW(GetDlgItem(window, 201), GWL_EXSTYLE) & WS_EX_CLIENTEDGE));
    EXPECT_EQ(GetWindowLongPtrW(GetDlgItem(window, 205), GWL_STYLE) & WS_TABSTOP, 0);
    EXPECT_NE(SendDlgItemMessageW(window, 204, STM_GETICON, 0, 0), 0);

    // Nothing lies outside, on top of something else or cut off (for the
    // message, which the dialog sizes, see the unit tests).
    EXPECT_EQ(layoutFaults(window), std::vector<std::string>{});
    // The icon beside the message; label, folder and Browse... one row, left
    // to right; OK then Cancel at the bottom right, below all else.
    const RECT icon = controlRect(window, 204), message = controlRect(window, 203);
    const RECT edit = controlRect(window, 201), browse = controlRect(window, 202);
    const RECT ok = controlRect(window, IDOK), cancel = controlRect(window, IDCANCEL);
    const RECT label = controlRect(window, GetWindow(GetDlgItem(window, 201), GW_HWNDNEXT));
    const RECT group = controlRect(window, GetWindow(GetDlgItem(window, 202), GW_HWNDNEXT));
    RECT client{};
    GetClientRect(window, &client);
    EXPECT_LE(icon.right, message.left);
    EXPECT_LE(label.right, edit.left);
    EXPECT_LE(edit.right, browse.left);
    EXPECT_TRUE(label.top < edit.bottom && edit.top < label.bottom && browse.top < edit.bottom);
    EXPECT_LE(ok.right, cancel.left);
    EXPECT_EQ(ok.top, cancel.top);
    EXPECT_GE(ok.top, group.bottom);
    EXPECT_GT(cancel.right, client.right * 3 / 4);
    DestroyWindow(window);
    FreeLibrary(module);
}

TEST(JreDiscoveryDialog, CancelEscapeAndTheCloseBoxEndTheLaunchWritingNothing) {
    JavaRegistry registry;  // nothing registered meanwhile
    const UiAction actions[] = {{IDCANCEL, L"", false}, {-1, L"escape", false}, {-1, L"", true}};
    bool first = true;
    for (const UiAction& action : actions) {
        SCOPED_TRACE(narrow(action.key) + (action.close ? "close" : ""));
        TempDir dir;
        const std::string ini = std::string(kProduct) + "[Java Runtime Environment]\r\nMain Class=demo.Hello\r\n"
                                "Maximum Version=17\r\n";
        LauncherCopy app(dir.path(), L"MyApp.exe", ini);
        auto process = app.start(L"", {{L"APPDATA", dir / L"appdata"}});
        ASSERT_TRUE(process.started());
        if (first) {
            first = false;
            WindowSnapshot shown = dialog(process.pid());
            ASSERT_TRUE(shown.found);
            EXPECT_EQ(shown.caption, L"JRE Not Found");
            EXPECT_EQ(shown.text(203), L"The Java Runtime Environment (JRE) was not found. Please  download and install "
                                       L"a JRE (maximum version 17) from:");
            EXPECT_EQ(shown.text(205), kAddress);
            auto state = states(shown);
            EXPECT_FALSE(state[IDOK].enabled);
            EXPECT_TRUE(state[202].enabled);
            EXPECT_EQ(state[205].style & SS_NOTIFY, static_cast<unsigned long>(SS_NOTIFY));
            // Centred in the work area of a 1280 x 1024 screen.
            EXPECT_NEAR((shown.rect.left + shown.rect.right) / 2, 640, 2);
            // Enter with OK disabled does nothing.
            dialog(process.pid(), L"--type enter");
        }
        WindowSnapshot closed = waitForWindow(process.pid(), action);
        EXPECT_TRUE(closed.gone);
        EXPECT_EQ(process.exitCode(), -1);
        EXPECT_FALSE(exists(dir / L"appdata"));
        EXPECT_EQ(readFile(app.iniPath()), ini);
    }
}

TEST(JreDiscoveryDialog, TheChosenRuntimeStartsTheApplicationAndTheNextStartFindsIt) {
    JavaRegistry registry;
    TempDir dir;
    const auto rt = runtime(dir / L"rt\\");
    makeDirs(dir / L"empty");
    const std::wstring out = dir / L"jvm-path.txt";
    LauncherCopy app(dir / L"app\\", L"MyApp.exe", std::string(kProduct) + application(dir.path(), out));
    // The user's file holds more than "JRE Path": all of it stays, in order.
    const std::wstring perUser = dir / L"appdata\\Prod\\C1\\MyApp.ini";
    const std::string before = "[First]\r\na=1\r\n[Java Runtime Environment]\r\nOther=x\r\nJRE Path=\r\nMore=y\r\n"
                               "[Last]\r\nz=2\r\n";
    writeFile(perUser, before);
    const std::map<std::wstring, std::optional<std::wstring>> env{{L"APPDATA", dir / L"appdata"}};

    auto process = app.start(L"-nosplash", env);
    ASSERT_TRUE(process.started());
    ASSERT_TRUE(dialog(process.pid()).found);
    browse(process.pid(), dir / L"empty");
    EXPECT_EQ(dialog(process.pid()).text(201), dir / L"empty");
    EXPECT_FALSE(okEnabled(process.pid()));
    browse(process.pid(), dir / L"rt");
    EXPECT_TRUE(okEnabled(process.pid()));
    browse(process.pid(), dir / L"empty");  // a valid folder, then an invalid one
    EXPECT_FALSE(okEnabled(process.pid()));
    browse(process.pid(), dir / L"rt");
    UiAction ok;
    ok.press = IDOK;
    EXPECT_TRUE(waitForWindow(process.pid(), ok).gone);
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_EQ(widen(readFile(out)), rt.jvmPath());

    std::string after = before;
    after.replace(after.find("JRE Path=") + 9, 0, narrow(dir / L"rt\\"));
    EXPECT_EQ(readFile(perUser), after);

    // The next start goes straight to the application.
    DeleteFileW(out.c_str());
    auto again = app.start(L"-nosplash", env);
    EXPECT_EQ(again.exitCode(20000), 0);
    EXPECT_EQ(widen(readFile(out)), rt.jvmPath());
}

TEST(JreDiscoveryDialog, WhereTheChoiceIsWrittenAndWhatOkAccepts) {
    JavaRegistry registry;
    TempDir dir;
    runtime(dir / L"client\\");
    runtime(dir / L"server\\", L"bin\\server\\jvm.dll");
    // A runtime at the root of a drive: the root of C: in the test prefix.
    struct RootRuntime {
        bool made = !exists(L"C:\\bin\\client\\jvm.dll");
        RootRuntime() {
            if (made) copyFile(standin::jvmDll(), L"C:\\bin\\client\\jvm.dll");
        }
        ~RootRuntime() {
            if (!made) return;
            DeleteFileW(L"C:\\bin\\client\\jvm.dll");
            RemoveDirectoryW(L"C:\\bin\\client");
            RemoveDirectoryW(L"C:\\bin");
        }
    } rootRuntime;
    const std::wstring out = dir / L"jvm-path.txt";
    const std::wstring paired = dir / L"pair\\Paired.exe";
    makeDirs(dir / L"pair");
    const std::string pair = "[Application]\r\nPair Product=" + narrow(paired) + "\r\n";
    struct Row {
        const char* what;
        std::string extra;           // more of [Java Runtime Environment]
        std::string application;     // [Application]
        std::wstring folder;         // chosen in the browser
        bool accepted;
        std::vector<std::wstring> written;  // files that must hold the folder
    };
    const std::wstring appData = dir / L"appdata\\";
    const std::vector<Row> rows = {
        {"server asked, client only", "JVM Type=server\r\n", "", dir / L"client", false, {}},
        {"server asked and found", "JVM Type=server\r\n", "", dir / L"server", true,
         {appData + L"Prod\\C1\\MyApp.ini"}},
        // (The browser takes a drive as "C:", and gives back "C:\\".)
        {"a drive's root keeps its one backslash", "", "", L"C:", true, {appData + L"Prod\\C1\\MyApp.ini"}},
        {"paired", "", pair, dir / L"client", true, {appData + L"Prod\\C1\\MyApp.ini", appData + L"Prod\\C1\\Paired.ini"}},
        {"service, paired", "", pair + "Application Type=service\r\n", dir / L"client", true,
         {dir / L"app\\MyApp.ini", dir / L"pair\\Paired.ini"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        removeTree(dir / L"appdata");
        makeDirs(dir / L"appdata");
        DeleteFileW((dir / L"pair\\Paired.ini").c_str());
        LauncherCopy app(dir / L"app\\", L"MyApp.exe",
                         std::string(kProduct) + application(dir.path(), out, row.extra) + row.application);
        auto process = app.start(L"-nosplash", {{L"APPDATA", dir / L"appdata"}});
        ASSERT_TRUE(process.started());
        ASSERT_TRUE(dialog(process.pid()).found);
        browse(process.pid(), row.folder);
        EXPECT_EQ(okEnabled(process.pid()), row.accepted);
        UiAction end;
        end.press = row.accepted ? IDOK : IDCANCEL;
        waitForWindow(process.pid(), end);
        EXPECT_EQ(process.exitCode(), row.accepted ? 0 : -1);
        std::wstring stored = row.folder;
        if (stored.back() != L'\\') stored += L'\\';
        for (const std::wstring& file : row.written) {
            wchar_t value[MAX_PATH] = {};
            GetPrivateProfileStringW(L"Java Runtime Environment", L"JRE Path", L"", value, MAX_PATH, file.c_str());
            EXPECT_EQ(value, stored) << narrow(file);
        }
        if (row.written.empty() || row.written.front().find(L"appdata") == std::wstring::npos)
            EXPECT_FALSE(exists(dir / L"appdata\\Prod"));
    }
}

TEST(JreDiscoveryDialog, LinkColoursFromTheUsersSettings) {
    JavaRegistry registry;
    RegistryValues settings(HKEY_CURRENT_USER, L"Software\\Microsoft\\Internet Explorer\\Settings");
    const unsigned long blue = 0xFF0000, green = 0x008000, red = 0x0000FF;
    struct Row {
        const char* what;
        DWORD type;
        std::string data;
        unsigned long colour;
    };
    const Row rows[] = {
        {"valid", REG_SZ, registryString(L"255,0,0"), red},
        {"expandable, blanks, low byte", REG_EXPAND_SZ, registryString(L" 0, 384 ,0"), green},
        {"two numbers", REG_SZ, registryString(L"255,0"), blue},
        {"empty", REG_SZ, registryString(L""), blue},
        {"too long", REG_SZ, registryString(L"0,128,000000000"), blue},
        {"wrong type", REG_BINARY, registryString(L"255,0,0"), blue},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        settings.set(L"Anchor Color", row.type, row.data);
        TempDir dir;
        LauncherCopy app(dir.path(), L"MyApp.exe", "[Java Runtime Environment]\r\nMain Class=demo.Hello\r\n");
        auto process = app.start(L"", {{L"APPDATA", dir / L"appdata"}});
        ASSERT_TRUE(process.started());
        // Read until the link has been painted.
        WindowSnapshot shown;
        EXPECT_TRUE(waitUntil([&] {
            shown = dialog(process.pid(), L"--pixels 205");
            return pixelsOf(shown, row.colour) >= 20;
        }));
        for (unsigned long other : {blue, green, red})
            if (other != row.colour) EXPECT_EQ(pixelsOf(shown, other), 0) << std::hex << other;
        waitForWindow(process.pid(), {IDCANCEL, L"", false});
        EXPECT_EQ(process.exitCode(), -1);
    }
}

TEST(JreDiscoveryDialog, LinkCursorClicksAndKeysOpenTheAddress) {
    JavaRegistry registry;
    RegistryValues settings(HKEY_CURRENT_USER, L"Software\\Microsoft\\Internet Explorer\\Settings");
    settings.remove(L"Anchor Color");
    settings.set(L"Anchor Color Visited", REG_SZ, registryString(L"0,128,0"));
    // The web browser is the command-line probe, which logs how it was started.
    RegistryValues https(HKEY_LOCAL_MACHINE, L"Software\\Classes\\https\\shell\\open\\command");
    const std::wstring browser = artefact(L"cmdprobe.exe");
    https.set(L"", REG_SZ, registryString(quoted(browser) + L" \"%1\""));

    TempDir dir;
    const std::wstring log = dir / L"browser.txt";
    LauncherCopy app(dir.path(), L"MyApp.exe", "[Java Runtime Environment]\r\nMain Class=demo.Hello\r\n");
    auto process = app.start(L"", {{L"APPDATA", dir / L"appdata"}, {L"VEXA_CMDPROBE_LOG", log}});
    ASSERT_TRUE(process.started());
    ASSERT_TRUE(dialog(process.pid()).found);
    // Whether the browser has been started `times` times in all, once that
    // many starts are there. A start too many shows at the next count, and
    // at the end, once the launcher has gone.
    const std::string line = narrow(quoted(browser) + L" \"" + kAddress + L"\"") + "\n";
    auto opened = [&](size_t times) {
        std::string expected;
        for (size_t i = 0; i < times; ++i) expected += line;
        waitUntil([&] { return readFile(log).size() >= expected.size(); });
        return readFile(log) == expected;
    };

    // The hand inside the text only: beyond its end, the cursor of the dialog.
    WindowSnapshot pointer = dialog(process.pid(), L"--move 0 8 8 --move 205 4 6 --move 205 128 6 --move 0 8 8");
    EXPECT_NE(cursorAt(pointer, 1), cursorAt(pointer, 0));
    EXPECT_EQ(cursorAt(pointer, 2), cursorAt(pointer, 0));
    EXPECT_EQ(cursorAt(pointer, 3), cursorAt(pointer, 0));

    // A click that ends outside the text opens nothing (the next count
    // would be one too many).
    dialog(process.pid(), L"--move 205 4 6 --down --move 205 4 40 --up");
    // A click opens it, and then the link has the focus: Enter and space too.
    // (Pressed a little further on: a press on the same spot this soon after
    // the last would be a double click.)
    WindowSnapshot clicked = dialog(process.pid(), L"--move 205 20 6 --down --up --pixels 205");
    EXPECT_TRUE(opened(1)) << readFile(log);
    dialog(process.pid(), L"--type enter");
    EXPECT_TRUE(opened(2)) << readFile(log);
    dialog(process.pid(), L"--type space --move 0 8 8");
    EXPECT_TRUE(opened(3)) << readFile(log);
    // Opened, it shows the visited colour.
    EXPECT_TRUE(waitUntil([&] { return pixelsOf(dialog(process.pid(), L"--pixels 205"), 0x008000) >= 20; }));
    waitForWindow(process.pid(), {IDCANCEL, L"", false});
    EXPECT_EQ(process.exitCode(), -1);
    EXPECT_EQ(readFile(log), line + line + line);
}

TEST(JreDiscoveryDialog, OkTakesOnlyARuntimeWhoseVersionFitsAndTheDialogSaysWhy) {
    JavaRegistry registry;
    TempDir dir;
    runtime(dir / L"jdk8\\");
    writeFile(dir / L"jdk8\\release", "JAVA_VERSION=\"1.8.0_392\"\n");
    runtime(dir / L"jdk17\\");
    writeFile(dir / L"jdk17\\release", "IMPLEMENTOR=\"Test\"\r\nJAVA_VERSION=\"17.0.9\"\r\n");
    runtime(dir / L"plain\\");  // no "release": its version is unknown and taken on trust
    const std::wstring out = dir / L"jvm-path.txt";
    const std::wstring needs11 = L"The Java Runtime Environment (JRE) was not found. Please  download and install a JRE "
                                 L"(minimum version 11.0) from:";
    struct Row {
        const char* what;
        std::string bounds;
        std::wstring folder;
        bool accepted;
        std::wstring message;  // control 203 after the pick
    };
    const Row rows[] = {
        {"too old", "Minimum Version=11\r\n", dir / L"jdk8",  false,
         L"The Java runtime in this folder is version 1.8.0.392; this application needs a JRE (minimum version 11.0). "
         L"Please choose another folder."},
        {"too new", "Maximum Version=11\r\n", dir / L"jdk17", false,
         L"The Java runtime in this folder is version 17.0.9; this application needs a JRE (maximum version 11). "
         L"Please choose another folder."},
        {"fits", "Minimum Version=11\r\n", dir / L"jdk17", true, needs11},
        {"unknown", "Minimum Version=11\r\n", dir / L"plain", true, needs11},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        removeTree(dir / L"appdata");
        makeDirs(dir / L"appdata");
        // The team's own address stands in for the built-in one.
        LauncherCopy app(dir / L"app\\", L"MyApp.exe",
                         std::string(kProduct) +
                             application(dir.path(), out, row.bounds + "Download URL=https://java.example.com/get\r\n"));
        auto process = app.start(L"-nosplash", {{L"APPDATA", dir / L"appdata"}});
        ASSERT_TRUE(process.started());
        ASSERT_TRUE(dialog(process.pid()).found);
        EXPECT_EQ(dialog(process.pid()).text(205), L"https://java.example.com/get");
        browse(process.pid(), row.folder);
        const WindowSnapshot picked = dialog(process.pid());
        EXPECT_EQ(states(picked)[IDOK].enabled, row.accepted);
        EXPECT_EQ(picked.text(203), row.accepted ? needs11 : row.message);
        UiAction end;
        end.press = row.accepted ? IDOK : IDCANCEL;
        waitForWindow(process.pid(), end);
        EXPECT_EQ(process.exitCode(), row.accepted ? 0 : -1);
        EXPECT_EQ(exists(dir / L"appdata\\Prod\\C1\\MyApp.ini"), row.accepted);
    }
}
