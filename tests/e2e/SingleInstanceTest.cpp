// Single instance: a second start of the same launcher hands its arguments to
// the running copy, whose main class gets them in secondaryMain, and ends with
// what came back.
#include <windows.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <functional>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "JavaApp.h"
#include "StandIn.h"
#include "TestSupport.h"
#include "launcher/SingleInstance.h"

using namespace vexa::test;
using namespace vexa::test::standin;

namespace {

// main runs until the file "release" appears in the application folder, then
// ends with `mainEnd` (a script line); secondaryMain is `secondary` (lines).
// "@FOLDER@" stands for the application folder.
std::string appScript(const std::wstring& folder, const std::string& secondary, const std::string& mainEnd = "return") {
    std::string script = "class demo.App\n"
                         "method main\n"
                         "    wait-file " + scriptPath(folder + L"release") + " 60000\n"
                         "    " + mainEnd + "\n" + secondary;
    for (size_t at; (at = script.find("@FOLDER@")) != std::string::npos;)
        script.replace(at, 8, scriptPath(folder));
    return script;
}

const char kIntForm[] = "method secondaryMain int\n    return 7\n";

// Where a launcher copy lies and what it runs.
struct Layout {
    std::wstring folder = L"app\\";
    std::wstring exeName = L"MyApp.exe";
    // A 32-bit runtime, which MyApp.exe hands to MyApp32.exe (single instance too).
    bool paired = false;
};

RuntimeOptions runtimeFor(const Layout& layout) {
    RuntimeOptions options;
    if (layout.paired) {
        options.jvm = Jvm::X86;
        options.jvmPath = L"bin\\client\\jvm.dll";
    }
    return options;
}

// A launcher copy with single-instance settings, a stand-in runtime and the
// scripted application, in a folder of its own.
class InstanceApp {
public:
    InstanceApp(const std::string& secondary, const std::string& applicationLines = "Single Instance=yes\r\n",
                const std::string& mainEnd = "return", const Layout& layout = {})
        : runtime_(dir_ / L"jre\\", runtimeFor(layout)),
          record_(dir_.path()),
          settings_("[Java Runtime Environment]\r\nMain Class=demo.App\r\nJRE Path=" + narrow(runtime_.home()) +
                    "\r\n[Class Path]\r\nClass Path=\\lib\\app.jar\r\n[Application]\r\n" + applicationLines),
          script_(appScript(dir_ / layout.folder, secondary, mainEnd)),
          launcher_(dir_ / layout.folder, layout.exeName,
                    settings_ + (layout.paired ? "Pair Product=" + narrow(dir_ / layout.folder) +
                                                     "MyApp32.exe\r\nPair Return Code=yes\r\n"
                                               : "")) {
        writeScript(folder(), L"lib\\app.jar", script_);
        if (layout.paired) copyFile(artefact(L"vexa32.exe"), twin(layout.folder, L"MyApp32.exe").exePath());
    }

    const std::wstring& folder() const { return launcher_.folder(); }
    const std::wstring& exePath() const { return launcher_.exePath(); }
    ChildProcess start(const std::wstring& arguments = L"", const std::map<std::wstring, std::wstring>& knobs = {},
                       const std::wstring& log = L"") const {
        auto environment = record_.environment(knobs);
        environment[L"APPDATA"] = dir_ / L"appdata";
        if (!log.empty()) environment[L"VEXA_LOG"] = log;
        return launcher_.start(arguments, environment);
    }
    Record record() const { return record_.read(); }
    void release(const wchar_t* file = L"release") const { writeFile(folder() + file, ""); }
    // Another launcher copy in this tree with the same settings and application.
    LauncherCopy twin(const std::wstring& folder, const std::wstring& exeName) const {
        LauncherCopy copy(dir_ / folder, exeName, settings_);
        writeScript(copy.folder(), L"lib\\app.jar", script_);
        return copy;
    }
    std::map<std::wstring, std::optional<std::wstring>> environment() const { return record_.environment(); }

    // Waits until the record holds `count` events named `name`.
    bool waitFor(const char* name, size_t count = 1, DWORD timeoutMs = 60000) const {
        return waitUntil([&] { return record().named(name).size() >= count; }, timeoutMs);
    }
    // Starts the first instance and waits until its main runs.
    std::unique_ptr<ChildProcess> startFirst(const std::map<std::wstring, std::wstring>& knobs = {},
                                             const std::wstring& log = L"") const {
        std::unique_ptr<ChildProcess> first(new ChildProcess(start(L"first", knobs, log)));
        if (knobs.empty()) {
            EXPECT_TRUE(waitFor("invoke")) << record().text();
        }
        return first;
    }

private:
    TempDir dir_;
    JavaHome runtime_;
    RecordFile record_;
    std::string settings_;
    std::string script_;
    LauncherCopy launcher_;
};

// The arguments of every call of `method` (secondaryMain unless said), in record order.
std::vector<std::vector<std::wstring>> secondaryCalls(const Record& record, const char* method = "secondaryMain") {
    std::vector<std::vector<std::wstring>> calls;
    for (const Invocation& call : record.invocations(method)) {
        std::vector<std::wstring> args;
        if (call.args)
            for (const auto& arg : *call.args) args.push_back(arg.value_or(L"<null>"));
        calls.push_back(args);
    }
    return calls;
}

std::vector<unsigned long> mainPids(const Record& record) {
    std::vector<unsigned long> pids;
    for (const Event& e : record.named("invoke"))
        if (e.bytes("method") == "main") pids.push_back(e.pid);
    return pids;
}

}  // namespace

TEST(SingleInstance, OnlyTheExactYesAndNoServiceMakeASecondStartForward) {
    struct Case {
        const char* settings;
        bool forwarded;
    };
    const Case cases[] = {
        {"Single Instance=yes\r\n", true},
        {"Single Instance=Yes\r\n", false},
        {"Single Instance=yes\r\nApplication Type=service\r\n", false},
    };
    for (const Case& c : cases) {
        InstanceApp app(kIntForm, c.settings);
        auto first = app.startFirst();
        ChildProcess second = app.start(L"again");
        if (c.forwarded) {
            EXPECT_EQ(second.exitCode(), 7) << c.settings;
        } else {
            // An independent copy: it runs main of its own.
            EXPECT_TRUE(app.waitFor("invoke", 2)) << c.settings << app.record().text();
        }
        app.release();
        EXPECT_EQ(first->exitCode(), 0) << c.settings;
        if (!c.forwarded) {
            EXPECT_EQ(second.exitCode(), 0) << c.settings;
        }
        Record record = app.record();
        EXPECT_EQ(mainPids(record).size(), c.forwarded ? 1u : 2u) << c.settings << record.text();
        EXPECT_EQ(secondaryCalls(record).size(), c.forwarded ? 1u : 0u) << c.settings;
        expectCleanJniUse(record);
    }
}

TEST(SingleInstance, ArgumentsArriveWholeAndTheIntResultIsTheExitCode) {
    std::wstring longPath = L"C:\\data\\";
    while (longPath.size() < 9990) longPath += L"folder\\";
    struct Case {
        std::wstring commandLine;
        std::vector<std::wstring> expected;
    };
    const Case cases[] = {
        {L"a \"b c\"", {L"a", L"b c"}},
        {L"", {L""}},  // no arguments: one empty string
        {L"a \"\" b", {L"a", L"", L"b"}},
        {L"\"\" x", {L"", L"x"}},
        {L"caf\x00E9 \xD83D\xDE00", {L"caf\x00E9", L"\xD83D\xDE00"}},
        {L"\"" + longPath + L"\" tail", {longPath, L"tail"}},
    };
    InstanceApp app("method secondaryMain int\n    args out\n    return 7\n");
    auto first = app.startFirst();
    for (const Case& c : cases) {
        ChildProcess second = app.start(c.commandLine);
        EXPECT_EQ(second.exitCode(), 7) << narrow(c.commandLine.substr(0, 40));
    }
    app.release();
    EXPECT_EQ(first->exitCode(), 0);
    Record record = app.record();
    auto calls = secondaryCalls(record);
    ASSERT_EQ(calls.size(), std::size(cases)) << record.text();
    for (size_t i = 0; i < calls.size(); ++i) EXPECT_EQ(calls[i], cases[i].expected) << i;
    expectCleanJniUse(record);
}

TEST(SingleInstance, VoidFormAnswersZeroAndNoSecondaryMainWaitsForTheFirstInstance) {
    {
        InstanceApp app("method secondaryMain\n    record served\n");
        auto first = app.startFirst();
        EXPECT_EQ(app.start(L"x").exitCode(), 0);
        EXPECT_TRUE(app.waitFor("mark"));
        app.release();
        EXPECT_EQ(first->exitCode(), 0);
        EXPECT_EQ(secondaryCalls(app.record()), (std::vector<std::vector<std::wstring>>{{L"x"}}));
    }
    {
        // Without secondaryMain the second start ends with the first one's status.
        InstanceApp app("", "Single Instance=yes\r\n", "exit 5");
        auto first = app.startFirst();
        ChildProcess second = app.start(L"x");
        EXPECT_FALSE(second.wait(1000));
        app.release();
        EXPECT_EQ(first->exitCode(), 5);
        EXPECT_EQ(second.exitCode(), 5);
        Record record = app.record();
        const Event* describe = record.first("describe");
        ASSERT_NE(describe, nullptr) << record.text();
        EXPECT_EQ(describe->bytes("class"), "java/lang/NoSuchMethodError");
    }
}

TEST(SingleInstance, LaunchersAtTwoPathsAreIndependent) {
    InstanceApp one(kIntForm);
    InstanceApp two(kIntForm);
    auto firstOne = one.startFirst();
    auto firstTwo = two.startFirst();
    EXPECT_EQ(two.start(L"b").exitCode(), 7);
    one.release();
    two.release();
    EXPECT_EQ(firstOne->exitCode(), 0);
    EXPECT_EQ(firstTwo->exitCode(), 0);
    EXPECT_EQ(secondaryCalls(one.record()).size(), 0u);
    EXPECT_EQ(secondaryCalls(two.record()), (std::vector<std::vector<std::wstring>>{{L"b"}}));
}

TEST(SingleInstance, ConcurrentStartsBeforeTheApplicationIsReadyAreEachServedOnce) {
    InstanceApp app("method secondaryMain int\n    return ${arg0}\n");
    TempDir scratch;
    const std::wstring gate = scratch / L"go";
    const std::wstring log = scratch / L"first.log";
    ChildProcess first = app.start(L"first", {{L"CREATE_WAIT", gate}}, log);
    ASSERT_TRUE(app.waitFor("create-wait"));
    // The first instance is still creating the VM while these start together.
    std::vector<std::unique_ptr<ChildProcess>> seconds;
    for (int i = 0; i < 6; ++i)
        seconds.emplace_back(
            new ChildProcess(app.start(std::to_wstring(10 + i) + L" \"payload " + std::to_wstring(i) + L"\" \"\"")));
    // The first instance has taken all six requests while its VM is not there yet.
    auto taken = [&] {
        const std::string text = readFile(log);
        size_t count = 0;
        for (size_t at = text.find("request from a later start"); at != std::string::npos;
             at = text.find("request from a later start", at + 1))
            ++count;
        return count;
    };
    EXPECT_TRUE(waitUntil([&] { return taken() == 6; })) << readFile(log);
    EXPECT_FALSE(app.record().contains("create-result"));
    writeFile(gate, "");
    for (int i = 0; i < 6; ++i) EXPECT_EQ(seconds[i]->exitCode(), 10 + i) << i;
    app.release();
    EXPECT_EQ(first.exitCode(), 0);
    Record record = app.record();
    auto calls = secondaryCalls(record);
    ASSERT_EQ(calls.size(), 6u) << record.text();
    std::sort(calls.begin(), calls.end());
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(calls[i], (std::vector<std::wstring>{std::to_wstring(10 + i), L"payload " + std::to_wstring(i), L""}));
    expectCleanJniUse(record);
}

namespace {

// What another process may leave in the shared section and its requests.
class Section {
public:
    explicit Section(const std::wstring& exePath) {
        const std::wstring name = vexa::instanceNameForExecutable(exePath);
        name_ = name;
        mapping_ = OpenFileMappingW(FILE_MAP_WRITE, FALSE, name.c_str());
        view_ = mapping_ ? static_cast<unsigned char*>(MapViewOfFile(mapping_, FILE_MAP_WRITE, 0, 0, 0)) : nullptr;
        message_ = RegisterWindowMessageW(name.c_str());
    }
    ~Section() {
        if (view_) UnmapViewOfFile(view_);
        if (mapping_) CloseHandle(mapping_);
    }
    bool open() const { return view_ != nullptr; }
    DWORD field(size_t offset) const { return *reinterpret_cast<DWORD*>(view_ + offset); }
    void setField(size_t offset, DWORD value) { *reinterpret_cast<DWORD*>(view_ + offset) = value; }
    void fill(size_t from, size_t to, unsigned char byte) { memset(view_ + from, byte, to - from); }
    // Posts a request naming `threadId`, as a second instance would.
    bool post(DWORD threadId) const { return PostThreadMessageW(field(0), message_, threadId, 0); }
    // A request mapping for this thread holding `bytes`; kept until the next call.
    void request(const std::string& bytes) {
        // The first attempt's request of this thread.
        const std::wstring name = name_ + L"_upr_req_" + std::to_wstring(GetCurrentThreadId()) + L"_0";
        if (request_) {
            CloseHandle(request_);
            request_ = nullptr;
            // Until the first instance lets go of the last request, a mapping
            // of this name is that one again, of its old size.
            waitUntil([&] {
                HANDLE held = OpenFileMappingW(FILE_MAP_READ, FALSE, name.c_str());
                if (held) CloseHandle(held);
                return held == nullptr;
            });
        }
        request_ = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                      static_cast<DWORD>(bytes.size()), name.c_str());
        void* view = MapViewOfFile(request_, FILE_MAP_WRITE, 0, 0, 0);
        memcpy(view, bytes.data(), bytes.size());
        UnmapViewOfFile(view);
    }
    void dropRequest() {
        if (request_) CloseHandle(request_);
        request_ = nullptr;
    }
    // The replies that have reached this thread, once there are at least
    // `count` of them (or a minute has passed).
    std::vector<WPARAM> replies(size_t count) const {
        std::vector<WPARAM> out;
        waitUntil([&] {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
                if (msg.message == message_) out.push_back(msg.wParam);
            return out.size() >= count;
        });
        return out;
    }

private:
    std::wstring name_;
    HANDLE mapping_ = nullptr;
    HANDLE request_ = nullptr;
    unsigned char* view_ = nullptr;
    UINT message_ = 0;
};

std::string le32(DWORD v) {
    return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16), static_cast<char>(v >> 24)};
}

// A request as the launcher writes it: waiting state, then the argument block.
std::string requestBytes(const std::vector<std::wstring>& args, DWORD totalDelta = 0, DWORD countDelta = 0) {
    std::string block;
    for (const auto& arg : args) {
        block += le32(static_cast<DWORD>(arg.size()));
        for (wchar_t c : arg) block += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    }
    return le32(1) + le32(0x41465856) + le32(static_cast<DWORD>(12 + block.size()) + totalDelta) +
           le32(static_cast<DWORD>(args.size()) + countDelta) + block;
}

}  // namespace

TEST(SingleInstance, TheFirstInstanceTrustsNothingInTheSection) {
    InstanceApp app("method secondaryMain int\n    return ${argc}\n");
    auto first = app.startFirst();
    Section section(app.exePath());
    ASSERT_TRUE(section.open());
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);

    // Garbage in the old argument area, requests for threads that do not
    // exist or that have no request, and requests that are not whole.
    section.fill(12, 2092, 0xFF);
    section.post(0xFFFFFFF0);
    section.post(GetCurrentThreadId());
    const std::string broken[] = {
        le32(1) + std::string(64, '\xFF'),                           // no header at all
        le32(1) + std::string(4096, 'A'),                             // text without any NUL, to the page's end
        requestBytes({L"abc"}, 0x7FFFFFF0),                           // claims more than the mapping holds
        requestBytes({L"abc"}, 0, 0x3FFFFFFF),                        // absurd count
        requestBytes({L"abc"}, 2),                                    // size and contents disagree
        le32(2) + requestBytes({L"taken"}).substr(4),                 // already taken
    };
    for (const std::string& bytes : broken) {
        section.request(bytes);
        section.post(GetCurrentThreadId());
    }
    // A whole request announced three times is served once. Its reply is
    // the first to come: none of the requests before it was served.
    section.request(requestBytes({L"x", L"y", L""}));
    for (int i = 0; i < 3; ++i) section.post(GetCurrentThreadId());
    EXPECT_EQ(section.replies(1), (std::vector<WPARAM>{3}));
    section.dropRequest();

    // A real second start is still served.
    EXPECT_EQ(app.start(L"p q").exitCode(), 2);

    // With its header overwritten, a second start says it cannot forward and
    // ends with -1; the first instance goes on and ends as usual.
    section.setField(0, 0x12345678);
    section.setField(8, 0x0012);
    ChildProcess refused = app.start(L"r");
    WindowSnapshot box = answerMessageBox(refused.pid());
    ASSERT_TRUE(box.found);
    EXPECT_EQ(box.message(),
              L"Windows exception: failed to hand the arguments to the running copy of this application (errno = 13).\n");
    EXPECT_EQ(refused.exitCode(), -1);

    app.release();
    EXPECT_EQ(first->exitCode(), 0);
    // Every request was served, or refused, before the first instance ended.
    EXPECT_EQ(section.replies(0), (std::vector<WPARAM>{}));
    Record record = app.record();
    EXPECT_EQ(secondaryCalls(record), (std::vector<std::vector<std::wstring>>{{L"x", L"y", L""}, {L"p", L"q"}}));
    expectCleanJniUse(record);
}

namespace {

std::vector<std::vector<std::wstring>> mainCalls(const Record& record) { return secondaryCalls(record, "main"); }

// A later start made while the first instance ends: the first is held while
// it creates the JVM, takes the request (its log says so), and then fails or
// is killed.
std::int32_t secondWhileTheFirstEnds(InstanceApp& app, bool kill) {
    TempDir scratch;
    const std::wstring gate = scratch / L"go";
    const std::wstring log = scratch / L"first.log";
    auto first = app.startFirst({{L"CREATE_WAIT", gate}, {L"CREATE_RESULT", L"-1"}}, log);
    EXPECT_TRUE(app.waitFor("create-wait"));
    ChildProcess second = app.start(L"row");
    EXPECT_TRUE(waitUntil([&] { return readFile(log).find("request from a later start") != std::string::npos; }));
    if (kill) {
        first->kill();
    } else {
        writeFile(gate, "");
        EXPECT_TRUE(answerMessageBox(first->pid()).found);
        EXPECT_EQ(first->exitCode(), -1);
    }
    EXPECT_TRUE(waitUntil([&] { return mainCalls(app.record()).size() == 1; }));  // the second runs main
    app.release();
    return second.exitCode();
}

}  // namespace

// Two starts that wait for the set-up lock together: the one that gets it
// second finds the other's listener at once, before that thread may have its
// message queue, and is still served.
TEST(SingleInstance, AStartRightBehindTheFirstIsServed) {
    InstanceApp app("method secondaryMain int\n    return 7\n");
    TempDir scratch;
    HANDLE mutex = CreateMutexW(nullptr, FALSE, (vexa::instanceNameForExecutable(app.exePath()) + L"_upr_mtx").c_str());
    ASSERT_EQ(WaitForSingleObject(mutex, 10000), WAIT_OBJECT_0);
    ChildProcess a = app.start(L"a", {}, scratch / L"a.log");
    ChildProcess b = app.start(L"b", {}, scratch / L"b.log");
    // Both have named the instance, the last thing they do before the lock.
    for (const wchar_t* log : {L"a.log", L"b.log"})
        EXPECT_TRUE(waitUntil([&] { return readFile(scratch / log).find("instance name") != std::string::npos; }));
    ReleaseMutex(mutex);
    CloseHandle(mutex);
    EXPECT_TRUE(waitUntil([&] { return secondaryCalls(app.record()).size() == 1; })) << app.record().text();
    app.release();
    std::vector<std::int32_t> codes{a.exitCode(), b.exitCode()};
    std::sort(codes.begin(), codes.end());
    EXPECT_EQ(codes, (std::vector<std::int32_t>{0, 7}));
    EXPECT_EQ(mainCalls(app.record()).size(), 1u);
}

// Every kind of later start ends: with secondaryMain's answer, having
// delivered its arguments once, or as the first instance with its own main.
TEST(SingleInstance, EverySecondStartEndsWithTheAnswerOrRunsTheApplicationItself) {
    const std::string secondary = "method secondaryMain int\n    args out\n    return 7\n"
                                  "method linger\n    wait-file @FOLDER@linger 60000\n";
    enum Delivered { ToSecondaryMain, ToItsOwnMain, Nowhere };
    struct Row {
        const char* situation;
        Layout layout;
        std::string mainEnd;
        std::function<std::int32_t(InstanceApp&)> secondStart;
        std::int32_t exitCode;
        Delivered delivered;
    };
    // The first instance runs main; `start` makes the second start and gives its exit code.
    auto afterFirst = [](std::function<std::int32_t(InstanceApp&)> start) {
        return [start](InstanceApp& app) {
            auto first = app.startFirst();
            const std::int32_t code = start(app);
            app.release();
            EXPECT_EQ(first->exitCode(60000), 0);
            return code;
        };
    };
    const Row rows[] = {
        {"another executable whose path differs only in \\ and _", {L"a_b\\", L"x.exe"}, "return",
         [](InstanceApp& app) {
             auto first = app.startFirst();
             ChildProcess second = app.twin(L"a\\", L"b_x.exe").start(L"row", app.environment());
             EXPECT_TRUE(waitUntil([&] { return mainCalls(app.record()).size() == 2; }));
             app.release();
             return second.exitCode();
         },
         0, ToItsOwnMain},
        {"the same executable spelt in upper case", {}, "return", afterFirst([](InstanceApp& app) {
             std::wstring upper = app.exePath();
             for (wchar_t& c : upper) c = static_cast<wchar_t>(towupper(c));
             return ChildProcess({L"", vexa::test::quoted(upper) + L" row", L"", app.environment()}).exitCode(60000);
         }),
         7, ToSecondaryMain},
        {"another process holds the set-up mutex", {}, "return", afterFirst([](InstanceApp& app) {
             HANDLE mutex = CreateMutexW(nullptr, FALSE,
                                         (vexa::instanceNameForExecutable(app.exePath()) + L"_upr_mtx").c_str());
             EXPECT_EQ(WaitForSingleObject(mutex, 10000), WAIT_OBJECT_0);
             const std::int32_t code = app.start(L"row").exitCode(60000);
             ReleaseMutex(mutex);
             CloseHandle(mutex);
             return code;
         }),
         7, ToSecondaryMain},
        {"WM_QUIT posted to the listener", {}, "return", afterFirst([](InstanceApp& app) {
             Section section(app.exePath());
             for (int i = 0; i < 3; ++i) EXPECT_TRUE(PostThreadMessageW(section.field(0), WM_QUIT, 0, 0));
             return app.start(L"row").exitCode(60000);
         }),
         7, ToSecondaryMain},
        {"the runtime runs in the paired launcher", {L"app\\", L"MyApp.exe", true}, "return",
         afterFirst([](InstanceApp& app) { return app.start(L"row").exitCode(60000); }), 7, ToSecondaryMain},
        {"the first instance fails with the request queued", {}, "return",
         [](InstanceApp& app) { return secondWhileTheFirstEnds(app, false); }, 0, ToItsOwnMain},
        {"the first instance is killed with the request taken", {}, "return",
         [](InstanceApp& app) { return secondWhileTheFirstEnds(app, true); }, 0, ToItsOwnMain},
        {"the shared section is another user's", {}, "return",
         [](InstanceApp& app) {
             PSECURITY_DESCRIPTOR nobody = nullptr;  // an empty access list: this user may not open it
             EXPECT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P", SDDL_REVISION_1, &nobody, nullptr));
             SECURITY_ATTRIBUTES attributes{sizeof(attributes), nobody, FALSE};
             HANDLE section = CreateFileMappingW(INVALID_HANDLE_VALUE, &attributes, PAGE_READWRITE, 0, 2092,
                                                 vexa::instanceNameForExecutable(app.exePath()).c_str());
             ChildProcess second = app.start(L"row");
             WindowSnapshot box = answerMessageBox(second.pid());
             EXPECT_EQ(box.message(), L"This application is already running as another user or with other rights, "
                                      L"and this copy cannot hand its arguments to it (errno = 5). Close the running "
                                      L"copy, or start this one the same way.");
             CloseHandle(section);
             LocalFree(nobody);
             return second.exitCode();
         },
         -1, Nowhere},
        {"the shared section holds reserved pages only", {}, "return",
         [](InstanceApp& app) {
             HANDLE section = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE | SEC_RESERVE, 0, 2092,
                                                 vexa::instanceNameForExecutable(app.exePath()).c_str());
             ChildProcess second = app.start(L"row");
             EXPECT_NE(answerMessageBox(second.pid()).message().find(L"(errno = 30)"), std::wstring::npos);
             CloseHandle(section);
             return second.exitCode();
         },
         -1, Nowhere},
        {"the first instance waits in DestroyJavaVM", {}, "thread linger\n    return",
         [](InstanceApp& app) {
             auto first = app.startFirst();
             app.release();
             EXPECT_TRUE(app.waitFor("destroy-begin"));
             ChildProcess second = app.start(L"row");
             EXPECT_TRUE(waitUntil([&] { return mainCalls(app.record()).size() == 2; }));
             app.release(L"linger");
             EXPECT_EQ(first->exitCode(), 0);
             return second.exitCode();
         },
         0, ToItsOwnMain},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.situation);
        InstanceApp app(secondary, "Single Instance=yes\r\n", row.mainEnd, row.layout);
        EXPECT_EQ(row.secondStart(app), row.exitCode);
        Record record = app.record();
        const std::vector<std::vector<std::wstring>> once = {{L"row"}};
        std::vector<std::vector<std::wstring>> ownMain;
        for (const auto& call : mainCalls(record))
            if (call != std::vector<std::wstring>{L"first"}) ownMain.push_back(call);
        EXPECT_EQ(secondaryCalls(record), row.delivered == ToSecondaryMain ? once : decltype(once){}) << record.text();
        EXPECT_EQ(ownMain, row.delivered == ToItsOwnMain ? once : decltype(once){}) << record.text();
        expectCleanJniUse(record);
    }
}
