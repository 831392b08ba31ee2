#include "launcher/LauncherApp.h"

#include <cstring>

#include "config/LauncherSettings.h"
#include "foundation/StepTiming.h"
#include "foundation/SystemLibrary.h"
#include "foundation/Text.h"
#include "foundation/WinText.h"
#include "launcher/Diagnostics.h"
#include "jre/JreLocator.h"
#include "resources/resource.h"
#include "splash/SplashScreenWindow.h"
#include "ui/JreNotFoundDialog.h"
#include "ui/Messages.h"

namespace vexa {
namespace {

LauncherApp* g_launcher = nullptr;

// Set by a launcher for the paired launcher it starts. The paired launcher
// takes it out of its own environment at once, so that the Java application
// and the programs it starts never see it.
// The machine type of the runtimes that only the paired launcher can host:
// 32-bit ones for vexa.exe, 64-bit ones for vexa32.exe.
#ifdef _WIN64
constexpr WORD kPairedMachine = IMAGE_FILE_MACHINE_I386;
#else
constexpr WORD kPairedMachine = IMAGE_FILE_MACHINE_AMD64;
#endif

constexpr wchar_t kHandOverMarker[] = L"VEXA_PAIRED_LAUNCHER";

bool takeHandOverMarker() {
    const bool present = GetEnvironmentVariableW(kHandOverMarker, nullptr, 0) > 0;
    SetEnvironmentVariableW(kHandOverMarker, nullptr);
    return present;
}

// Whether two paths name the same file (also through another spelling, a
// short name or a hard link). False when either cannot be opened.
bool isSameFile(const std::wstring& a, const std::wstring& b) {
    auto identify = [](const std::wstring& path, BY_HANDLE_FILE_INFORMATION& info) {
        FileHandle file(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        return file && GetFileInformationByHandle(file.get(), &info);
    };
    BY_HANDLE_FILE_INFORMATION first{};
    BY_HANDLE_FILE_INFORMATION second{};
    return identify(a, first) && identify(b, second) &&
           first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
           first.nFileIndexHigh == second.nFileIndexHigh && first.nFileIndexLow == second.nFileIndexLow;
}

}  // namespace

LauncherApp::LauncherApp() {
    g_launcher = this;
    const std::wstring logPath = environmentValue(diag::kVariable);
    if (!logPath.empty() && diagnostics.open(logPath)) diag::log(L"launcher started: %s", GetCommandLineW());
}

LauncherApp::~LauncherApp() {
    closeSplashWindow();
    if (javaVm) {
        diag::log(L"DestroyJavaVM: waiting for the application's other non-daemon threads");
        // Returns once the application's other non-daemon threads have ended.
        javaVm->DestroyJavaVM();
        javaVm = nullptr;
        diag::log(L"DestroyJavaVM returned: the process ends");
    }
    VEXA_STEP("JVM destruction");
    ShutdownSingleInstance();
    instanceEvent.reset();
    nativeSplashClose.callOnce();
    g_launcher = nullptr;
}

LauncherApp* LauncherApp::current() { return g_launcher; }

bool LauncherApp::init() {
    startedByPairedLauncher = takeHandOverMarker();
    ReadArguments(arguments);
    VEXA_STEP("command line");
    if (!LauncherSettings::read(*this)) return false;
    if (!SetupSingleInstance()) return false;
    VEXA_STEP("single-instance setup");
    if (singleInstanceActive && !isPrimaryInstance) return true;  // a second instance waits in run
    if (overrideWorkingDir) ApplyWorkingDirectory();
    const bool found = JreLocator(*this).locate();
    VEXA_STEP("discovery");
    if (found) return true;
    return chooseRuntimeInDialog();
}

bool LauncherApp::chooseRuntimeInDialog() {
    std::wstring message =
        formatMessage(loadMessage(jvmType == JvmType::Server ? IDS_JRE_NOT_FOUND_SERVER : IDS_JRE_NOT_FOUND),
                      {JreLocator::describeRequirement(jrePolicy())});
    JreNotFoundDialog dialog;
    diag::log(L"\"JRE Not Found\" dialog shown: %s", message);
    INT_PTR result = dialog.run(message, jvmType);
    if (result == -1 && GetLastError() == ERROR_OUTOFMEMORY) return false;
    if (result != IDOK) {
        diag::log(L"\"JRE Not Found\" dialog: no runtime chosen, the launch ends");
        return false;
    }
    jvmLibraryPath = dialog.foundLibrary;
    diag::log(L"\"JRE Not Found\" dialog: %s chosen, JVM library %s", dialog.chosenFolder, jvmLibraryPath);
    checkJvmArchitecture();
    LauncherSettings::storeJrePath(*this, dialog.chosenFolder);
    return true;
}

std::int32_t LauncherApp::run() {
    if (runPairProduct) return runPairedLauncher();
    if (singleInstanceActive && !isPrimaryInstance) return WaitForFirstInstance();
    return runNormalLaunch();
}

std::int32_t LauncherApp::runPairedLauncher() {
    // A launcher that hands over to itself, or back to the launcher that
    // handed over to it, would start copies without end.
    if (startedByPairedLauncher) {
        showFormattedError(messageOwner, loadMessage(IDS_PAIR_AGAIN), jvmLibraryPath);
        return -1;
    }
    std::wstring self;
    if (GetExecutablePath(self) && isSameFile(self, pairProduct)) {
        showFormattedError(messageOwner, loadMessage(IDS_PAIR_IS_SELF), pairProduct);
        return -1;
    }
    SetEnvironmentVariableW(kHandOverMarker, L"1");

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    std::wstring commandLine = GetCommandLineW();
    if (!CreateProcessW(pairProduct.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        // Not starting the paired launcher is a failed launch, not a success.
        showWindowsError(messageOwner, IDS_PAIR_START_FAILED, GetLastError());
        return -1;
    }
    Handle child(process.hProcess);
    Handle childThread(process.hThread);
    diag::log(L"launch handed to the paired launcher %s, process %d; \"Pair Return Code\": %s", pairProduct,
              static_cast<std::int32_t>(process.dwProcessId), pairReturnCode);
    if (!pairReturnCode) return 0;
    WaitForSingleObject(child.get(), INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(child.get(), &code);
    diag::log(L"paired launcher ended with exit code %d", static_cast<std::int32_t>(code));
    return static_cast<std::int32_t>(code);
}

std::int32_t LauncherApp::runNormalLaunch() {
    PrepareLibraryPath();
    VEXA_STEP("library path and environment");
    if (!HasNoSplashSwitch() && !startSplash()) {
        diag::log(L"the launcher's own path, needed for the splash settings, could not be read: the launch ends");
        return 0;
    }
    VEXA_STEP("splash");
    if (!loadJvmLibrary(jvmLibraryPath)) return -1;
    VEXA_STEP("JVM library load");
    BuildJvmOptions();  // a missing class path is reported there; the launch goes on
    VEXA_STEP("option list (rest)");

    if (threadStackSize == 0) {
        JDK1_1InitArgs defaults{};
        defaults.version = JNI_VERSION_1_1;
        getDefaultInitArgs(&defaults);
        threadStackSize = defaults.javaStackSize > 0 ? static_cast<std::uint64_t>(defaults.javaStackSize) : 0;
    }
    VEXA_STEP("default stack size");

    DWORD status = 1;
    DWORD threadId = 0;
    // The size is a reservation, so that a small "-Xss" really gives a small
    // stack instead of the executable's default reserve.
    Handle javaThread(CreateThread(nullptr, static_cast<SIZE_T>(threadStackSize), &LauncherApp::javaThreadMain, this,
                                   threadStackSize ? STACK_SIZE_PARAM_IS_A_RESERVATION : 0, &threadId));
    if (javaThread) {
        WaitForSingleObject(javaThread.get(), INFINITE);
        GetExitCodeThread(javaThread.get(), &status);
        VEXA_STEP("Java main thread end");
    } else {
        status = (createJvm() && callMainClass()) ? 0 : 1;
        if (status == 0 && isService && javaVm) {
            javaVm->DestroyJavaVM();
            javaVm = nullptr;
        }
    }
    if (status == 0) return 0;
    diag::log(L"the JVM could not be created or its main class not called");
    nativeSplashClose.callOnce();
    return -1;
}

DWORD WINAPI LauncherApp::javaThreadMain(void* param) {
    VEXA_STEP("thread creation");
    auto* app = static_cast<LauncherApp*>(param);
    if (!app || !app->createJvm()) return 1;
    VEXA_STEP("JVM creation");
    if (!app->callMainClass()) {
        // A thread that ends still attached would count as a running Java
        // thread, and destroying the JVM at teardown would wait for it forever.
        if (app->javaVm) app->javaVm->DetachCurrentThread();
        return 1;
    }
    if (app->isService && app->javaVm) {
        app->javaVm->DestroyJavaVM();
        app->javaVm = nullptr;
    }
    VEXA_STEP("main method");
    return 0;
}

void LauncherApp::checkJvmArchitecture() {
    runPairProduct = false;
    if (pairProduct.empty()) return;
    FileHandle file(CreateFileW(jvmLibraryPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size)) return;
    Handle mapping(CreateFileMappingW(file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!mapping) return;
    MappedView view(MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0));
    if (!view) return;

    // The PE header is where the DOS header says, as the image helper
    // library would find it; read here, checked against the file size, so
    // that no library is loaded for one lookup and a short or damaged file
    // cannot make the read go past the view.
    const auto* dos = static_cast<const IMAGE_DOS_HEADER*>(view.get());
    const auto fileSize = static_cast<std::uint64_t>(size.QuadPart);
    if (fileSize < sizeof(IMAGE_DOS_HEADER) || dos->e_magic != IMAGE_DOS_SIGNATURE) return;
    if (dos->e_lfanew < 0 ||
        static_cast<std::uint64_t>(dos->e_lfanew) + sizeof(DWORD) + sizeof(IMAGE_FILE_HEADER) > fileSize)
        return;
    const auto* base = static_cast<const unsigned char*>(view.get());
    DWORD signature = 0;
    IMAGE_FILE_HEADER fileHeader{};
    std::memcpy(&signature, base + dos->e_lfanew, sizeof(signature));
    std::memcpy(&fileHeader, base + dos->e_lfanew + sizeof(signature), sizeof(fileHeader));
    if (signature == IMAGE_NT_SIGNATURE && fileHeader.Machine == kPairedMachine) {
        runPairProduct = true;
        diag::log(L"JVM library %s is for the other architecture: the launch goes to \"Pair Product\" %s", jvmLibraryPath,
                  pairProduct);
    }
}

JrePolicy LauncherApp::jrePolicy() const {
    JrePolicy policy;
    policy.jvmType = jvmType;
    policy.bothSources = bothSources;
    policy.jdkSource = jdkSource;
    policy.jreSource = jreSource;
    policy.sunAllowed = sunAllowed;
    policy.sunFavoured = sunFavoured;
    policy.jrockitAllowed = jrockitAllowed;
    policy.jrockitFavoured = jrockitFavoured;
    policy.ibmAllowed = ibmAllowed;
    policy.ibmFavoured = ibmFavoured;
    policy.minVersion = minVersion;
    policy.maxVersion = maxVersion;
    policy.preferredVersions = preferredVersions;
    policy.searchCommonLocations = searchCommonLocations;
    return policy;
}

}  // namespace vexa
