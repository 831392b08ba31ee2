#include "launcher/LauncherApp.h"

#include "config/SettingsPaths.h"
#include "foundation/Diagnostics.h"
#include "foundation/MessageIds.h"
#include "foundation/ProcessView.h"
#include "foundation/StepTiming.h"
#include "foundation/Text.h"
#include "foundation/WinText.h"
#include "jvm/JvmOptions.h"
#include "jvm/LibraryPath.h"
#include "ui/JavaExceptionDialog.h"
#include "ui/JreNotFoundDialog.h"
#include "ui/Messages.h"

namespace vexa {
namespace {

LauncherApp* g_launcher = nullptr;

// The console twin (vexac.exe) writes its messages to standard error and
// never waits on a window that no one may be there to answer.
#ifdef VEXA_CONSOLE
constexpr bool kConsole = true;
#else
constexpr bool kConsole = false;
#endif

// Set by a launcher for the paired launcher it starts. The paired launcher
// takes it out of its own environment at once, so that the Java application
// and the programs it starts never see it.
constexpr wchar_t kHandOverMarker[] = L"VEXA_PAIRED_LAUNCHER";

bool takeHandOverMarker() {
    const bool present = GetEnvironmentVariableW(kHandOverMarker, nullptr, 0) > 0;
    SetEnvironmentVariableW(kHandOverMarker, nullptr);
    return present;
}

// The "exit" and "abort" options: forwarded to the launcher's hook target
// when there is one, otherwise they return at once and the JVM goes on.
void JNICALL jvmExitHook(jint status) {
    diag::log(L"System.exit(%d) reached the \"exit\" hook: the JVM ends the process with exit code %d",
              static_cast<std::int32_t>(status), static_cast<std::int32_t>(status));
    LauncherApp* app = LauncherApp::current();
    if (app && app->hookTarget) app->hookTarget->onExit(status);
}

void JNICALL jvmAbortHook() {
    diag::log(L"the JVM aborted through the \"abort\" hook: it ends the process");
    LauncherApp* app = LauncherApp::current();
    if (app && app->hookTarget) app->hookTarget->onAbort();
}

BOOL WINAPI ignoreInterrupt(DWORD event) { return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT; }

}  // namespace

std::wstring describeRequirement(const JrePolicy& policy) {
    const jre::RequirementTexts texts{loadMessage(IDS_LATEST_VERSION), loadMessage(IDS_MAXIMUM_VERSION),
                                      loadMessage(IDS_MINIMUM_VERSION), loadMessage(IDS_EXACT_VERSION),
                                      loadMessage(IDS_VERSION_RANGE)};
    return jre::describeRequirement(policy, texts);
}

LauncherApp::LauncherApp() {
    g_launcher = this;
    const std::wstring logPath = environmentValue(diag::kVariable);
    std::wstring executable;
    if (!logPath.empty()) queryExecutablePath(executable);
    if (!logPath.empty() && diagnostics_.openFromEnvironment(logPath, executable)) {
        diag::installSink(&diagnostics_);
        diag::log(L"launcher started: %s", GetCommandLineW());
    }
}

LauncherApp::~LauncherApp() {
    closeSplashWindow();
    // Serving stops before the JVM goes: no request attaches to a dying JVM.
    ShutdownSingleInstance();
    jvm_.destroy();
    VEXA_STEP("JVM destruction");
    splash_.nativeClose().callOnce();
    diag::installSink(nullptr);
    g_launcher = nullptr;
}

LauncherApp* LauncherApp::current() { return g_launcher; }

void LauncherApp::report(const Failure& failure) const { showFailure(splash_.messageOwner(), failure); }

// ---- init ------------------------------------------------------------------

bool LauncherApp::init() {
    startedByPairedLauncher_ = takeHandOverMarker();
    std::wstring executable;
    const std::uint32_t pathError = queryExecutablePath(executable);
    ReadArguments(executable);
    VEXA_STEP("command line");
    if (pathError) {
        report(Failure::windowsError(IDS_MODULE_PATH_FAILED, pathError));
        return false;
    }
    Result<LauncherSettings> read = LauncherSettings::read(executable);
    if (!read) {
        report(read.failure());
        return false;
    }
    settings_ = std::move(read.value());
    if (!SetupSingleInstance()) return false;
    VEXA_STEP("single-instance setup");
    if (instance_.isActive() && !instance_.isPrimary()) return true;  // a second instance waits in run
    if (settings_.overrideWorkingDir) ApplyWorkingDirectory();
    std::optional<RuntimeChoice> found =
        JreLocator(settings_.runtime, {settings_.jrePath, folderOf(settings_.executable), settings_.pairProduct,
                                       settings_.jrePathRemembered, settings_.mainJrePath})
            .locate();
    VEXA_STEP("discovery");
    if (found) {
        runtime_ = std::move(*found);
        return true;
    }
    return chooseRuntimeInDialog();
}

void LauncherApp::ReadArguments(const std::wstring& executable) { arguments_ = readArguments(executable); }

bool LauncherApp::SetupSingleInstance() {
    Result<SingleInstance::Role> role = instance_.setUp(settings_, arguments_);
    if (!role) {
        report(role.failure());
        return false;
    }
    return true;
}

void LauncherApp::ApplyWorkingDirectory() { applyWorkingDirectory(settings_.executable); }

bool LauncherApp::chooseRuntimeInDialog() {
    const JrePolicy& policy = settings_.runtime;
    std::wstring message = formatMessage(
        loadMessage(policy.jvmType == JvmType::Server ? IDS_JRE_NOT_FOUND_SERVER : IDS_JRE_NOT_FOUND),
        {describeRequirement(policy)});
    if (kConsole) {
        // A console launcher never waits on a window that a script or a build
        // job cannot answer: it says where to get a runtime and how to name one.
        const std::wstring address =
            settings_.downloadUrl.empty() ? loadMessage(IDS_JRE_DOWNLOAD_ADDRESS) : settings_.downloadUrl;
        showErrorBox(nullptr, message + L"\n" + address + L"\n" +
                                  formatMessage(loadMessage(IDS_JRE_PATH_HINT),
                                                {settingsPathBeside(settings_.executable)}));
        return false;
    }
    JreNotFoundDialog dialog;
    dialog.downloadAddress = settings_.downloadUrl;
    diag::log(L"\"JRE Not Found\" dialog shown: %s", message);
    INT_PTR result = dialog.run(message, policy.jvmType, [](const std::wstring& folder, JvmType, std::wstring& refusal) {
        const JrePolicy& bounds = LauncherApp::current()->settings_.runtime;
        JreLocator::RuntimeFolder found = JreLocator::inspectFolder(folder, bounds);
        if (found.outsideBounds) {
            refusal = formatMessage(loadMessage(IDS_JRE_VERSION_REFUSED), {found.version->toText(), describeRequirement(bounds)});
            diag::log(L"\"JRE Not Found\" dialog: %s refused, version %s is %s", folder, *found.version, *found.outsideBounds);
        }
        return found.library;
    });
    if (result == -1 && GetLastError() == ERROR_OUTOFMEMORY) return false;
    if (result != IDOK) {
        diag::log(L"\"JRE Not Found\" dialog: no runtime chosen, the launch ends");
        return false;
    }
    runtime_ = RuntimeChoice{dialog.foundLibrary};
    diag::log(L"\"JRE Not Found\" dialog: %s chosen, JVM library %s", dialog.chosenFolder, runtime_.jvmLibraryPath);
    checkJvmArchitecture();
    settings_.storeJrePath(dialog.chosenFolder);
    return true;
}

void LauncherApp::checkJvmArchitecture() {
    runtime_.runPairProduct = needsPairedLauncher(runtime_.jvmLibraryPath, settings_.pairProduct);
}

// ---- run -------------------------------------------------------------------

std::int32_t LauncherApp::run() {
    if (runtime_.runPairProduct) return runPairedLauncher();
    if (instance_.isActive() && !instance_.isPrimary()) return WaitForFirstInstance();
    return runNormalLaunch();
}

std::int32_t LauncherApp::runPairedLauncher() {
    const std::wstring& pairProduct = settings_.pairProduct;
    // A launcher that hands over to itself, or back to the launcher that
    // handed over to it, would start copies without end.
    if (startedByPairedLauncher_) {
        report(Failure::of(IDS_PAIR_AGAIN, {runtime_.jvmLibraryPath}));
        return -1;
    }
    if (isSameFile(settings_.executable, pairProduct)) {
        report(Failure::of(IDS_PAIR_IS_SELF, {pairProduct}));
        return -1;
    }
    // The paired launcher runs single instance for itself: later starts reach
    // the application through it, not through this process.
    instance_.shutdown();
    SetEnvironmentVariableW(kHandOverMarker, L"1");

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    // A console launcher hands on its console and its standard handles, also
    // when the shell redirected them to a file or a pipe.
    if (kConsole) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    }
    PROCESS_INFORMATION process{};
    std::wstring commandLine = GetCommandLineW();
    if (!CreateProcessW(pairProduct.c_str(), commandLine.data(), nullptr, nullptr, kConsole, 0, nullptr, nullptr,
                        &startup, &process)) {
        // Not starting the paired launcher is a failed launch, not a success.
        report(Failure::windowsError(IDS_PAIR_START_FAILED, GetLastError()));
        return -1;
    }
    Handle child(process.hProcess);
    Handle childThread(process.hThread);
    diag::log(L"launch handed to the paired launcher %s, process %d; \"Pair Return Code\": %s", pairProduct,
              static_cast<std::int32_t>(process.dwProcessId), settings_.pairReturnCode);
    // A console launcher always waits and passes the exit code on: the shell
    // must not take the console back while the application still uses it.
    if (!settings_.pairReturnCode && !kConsole) return 0;
    // Ctrl+C and Ctrl+Break are the paired launcher's to handle: this one
    // only waits for its exit code.
    if (kConsole) SetConsoleCtrlHandler(&ignoreInterrupt, TRUE);
    WaitForSingleObject(child.get(), INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(child.get(), &code);
    diag::log(L"paired launcher ended with exit code %d", static_cast<std::int32_t>(code));
    return static_cast<std::int32_t>(code);
}

std::int32_t LauncherApp::WaitForFirstInstance() { return instance_.waitForFirstInstance(); }

std::int32_t LauncherApp::runNormalLaunch() {
    PrepareLibraryPath();
    VEXA_STEP("library path and environment");
    if (!HasNoSplashSwitch()) startSplash();
    else diag::log(L"splash: not shown, the -nosplash switch was given");
    VEXA_STEP("splash");
    if (!loadJvmLibrary(runtime_.jvmLibraryPath)) return -1;
    VEXA_STEP("JVM library load");
    BuildJvmOptions();  // a missing class path is reported there; the launch goes on
    VEXA_STEP("option list (rest)");
    if (threadStackSize_ == 0) threadStackSize_ = jvm_.defaultStackSize();
    VEXA_STEP("default stack size");

    DWORD status = 1;
    DWORD threadId = 0;
    // The size is a reservation, so that a small "-Xss" really gives a small
    // stack instead of the executable's default reserve.
    Handle javaThread(CreateThread(nullptr, static_cast<SIZE_T>(threadStackSize_), &LauncherApp::javaThreadMain, this,
                                   threadStackSize_ ? STACK_SIZE_PARAM_IS_A_RESERVATION : 0, &threadId));
    if (javaThread) {
        WaitForSingleObject(javaThread.get(), INFINITE);
        GetExitCodeThread(javaThread.get(), &status);
        VEXA_STEP("Java main thread end");
    } else {
        status = (createJvm() && callMainClass()) ? 0 : 1;
        if (status == 0 && settings_.isService) jvm_.destroy();
    }
    if (status == 0) return 0;
    diag::log(L"the JVM could not be created or its main class not called");
    splash_.nativeClose().callOnce();
    return -1;
}

void LauncherApp::PrepareLibraryPath() {
    if (std::optional<std::wstring> libraryPath =
            prepareLibraryPath(runtime_.jvmLibraryPath, settings_.libraryPath, settings_.systemPath,
                               folderOf(settings_.executable)))
        jvm_.options().Add(L"-Djava.library.path=" + *libraryPath);
}

bool LauncherApp::HasNoSplashSwitch() const { return hasNoSplashSwitch(arguments_); }

void LauncherApp::startSplash() {
    SettingsFile settings = settings_.plain();
    SplashSettings splash;
    splash.imagePath = settings.readValue(L"Display", L"Splash Screen");
    splash.shadow = settings.readValue(L"Display", L"Splash Screen Shadow");
    const std::wstring preferNative = settings.readValue(L"Display", L"Preffer Native Splash Screen");
    splash.preferNative = equalsIgnoreCase(preferNative, L"Yes");
    diag::log(L"setting [Display] \"Splash Screen\" = \"%s\", \"Splash Screen Shadow\" = \"%s\", "
              L"\"Preffer Native Splash Screen\" = \"%s\" from the file only",
              splash.imagePath, splash.shadow, preferNative);
    splash_.start(splash, runtime_.jvmLibraryPath);
    diag::log(L"splash: %s", splash_.nativeClose().isSet() ? L"the runtime's native splash shown"
                             : splash_.hasWindow()        ? L"the image window shown"
                                                          : L"none shown");
}

bool LauncherApp::loadJvmLibrary(const std::wstring& path) {
    if (std::optional<Failure> failed = jvm_.load(path)) {
        report(*failed);
        return false;
    }
    return true;
}

bool LauncherApp::BuildJvmOptions() {
    Result<JvmLaunchOptions> built = buildJvmOptions(settings_);
    if (!built) {
        report(built.failure());
        return false;
    }
    for (const std::wstring& option : built->options) jvm_.options().Add(option);
    threadStackSize_ = built->threadStackSize;
    output_ = std::move(built->output);
    for (std::wstring& argument : built->commandArguments) arguments_.push_back(std::move(argument));
    return true;
}

DWORD WINAPI LauncherApp::javaThreadMain(void* param) {
    VEXA_STEP("thread creation");
    auto* app = static_cast<LauncherApp*>(param);
    if (!app || !app->createJvm()) return 1;
    VEXA_STEP("JVM creation");
    if (!app->callMainClass()) {
        // A thread that ends still attached would count as a running Java
        // thread, and destroying the JVM at teardown would wait for it forever.
        app->jvm_.detach();
        return 1;
    }
    if (app->settings_.isService) app->jvm_.destroy();
    VEXA_STEP("main method");
    return 0;
}

bool LauncherApp::createJvm() {
    if (std::optional<Failure> failed = jvm_.create({&jvmExitHook, &jvmAbortHook})) {
        report(*failed);
        return false;
    }
    if (output_.outputFile.empty() && output_.errorFile.empty()) return true;
    // Output never overwrites the launcher's executable or its settings files.
    const std::wstring& executable = settings_.executable;
    const std::vector<std::wstring> refused = {executable, settingsPathBeside(executable),
                                               settings_.perUserPath(executable, false)};
    for (const Failure& failure : redirectOutputFiles(jvm_.env(), output_, refused)) report(failure);
    return true;
}

bool LauncherApp::callMainClass() {
    // The single-instance workers wait for the ready signal before they call
    // the class.
    MainResult result = jvm_.callMain(
        settings_.mainClass, arguments_, [](void* app) { static_cast<LauncherApp*>(app)->signalInstanceReady(); }, this);
    if (result.failure) {
        report(*result.failure);
        return false;
    }
    if (jthrowable thrown = result.thrown) {
        JNIEnv* env = jvm_.env();
        diag::log(L"main ended with an uncaught exception; \"Failure Check\": %s", settings_.failureCheck);
        if (diag::on()) diag::log(L"the uncaught exception: %s", javaExceptionText(thrown, env));
        closeSplashWindow();
        if (settings_.failureCheck && showJavaException(thrown, env)) {
            diag::log(L"Java exception dialog: Stop, System.exit(-1) is called");
            callSystemExit(env);
        }
    } else {
        diag::log(L"main returned");
    }
    // Only a runtime registered under the IBM key gets this: its JVM alone
    // decides when the process ends. The splash has no reason to stay.
    if (runtime_.ibmRegistryRuntime) {
        diag::log(L"runtime registered under the IBM key: its JVM alone ends the process");
        closeSplashWindow();
        Sleep(INFINITE);
    }
    return jvm_.detach();
}

void LauncherApp::signalInstanceReady() { instance_.signalReady(jvm_.vm(), runtime_.ibmRegistryRuntime); }

bool LauncherApp::showJavaException(jthrowable throwable, JNIEnv* env) {
    std::wstring trace = javaExceptionText(throwable, env);
    if (trace.empty()) return false;  // nothing to show: go on as after Ignore
    if (kConsole) {
        // No one answers a dialog in a console: the trace goes to standard
        // error and the application stops, as after Stop.
        showErrorBox(nullptr, trace);
        return true;
    }
    JavaExceptionDialog dialog(std::move(trace));
    // A dialog that cannot be made counts as Stop.
    return dialog.run(GetActiveWindow()) != IDOK;
}

// ---- teardown --------------------------------------------------------------

void LauncherApp::closeSplashWindow() { splash_.close(); }

void LauncherApp::ShutdownSingleInstance() { instance_.shutdown(); }

}  // namespace vexa
