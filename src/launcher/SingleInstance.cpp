// Single instance: the first start of an application creates a named shared
// section and listens for requests; a later start of the same executable hands
// its arguments to it, waits for the answer of the main class's secondaryMain
// and ends with it.
//
// The shared section (named after the executable path, "\" replaced by "_")
// holds the first instance's header: the listener's thread id at offset 0,
// the process id at 4 and the registered request message at 8. Each second
// instance puts its arguments into a mapping of its own, named after the
// section and its thread id, and posts the request message to the listener
// with that thread id. The listener copies the arguments at once, whether the
// application is ready or not, so concurrent second instances never share a
// buffer; a worker thread per request waits for the ready event and calls
// secondaryMain. A named mutex holds back second instances while the first
// one is still writing its header.
#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>

#include "config/SettingsStore.h"
#include "jvm/JvmHost.h"
#include "launcher/Diagnostics.h"
#include "launcher/ForwardedArguments.h"
#include "launcher/LauncherApp.h"
#include "resources/resource.h"
#include "ui/Messages.h"

namespace vexa {
namespace {

constexpr DWORD kSectionSize = 2092;
constexpr std::size_t kListenerOffset = 0;
constexpr std::size_t kProcessOffset = 4;
constexpr std::size_t kMessageOffset = 8;

// A request mapping starts with its state, then the argument block.
constexpr LONG kRequestWaiting = 1;
constexpr LONG kRequestTaken = 2;
constexpr std::size_t kRequestHeader = 4;

// Messages handled by the listener per wake-up, so that a flood of posts
// cannot keep it from seeing the stop event.
constexpr int kMessagesPerWake = 64;

std::wstring requestName(const std::wstring& instance, DWORD threadId) {
    return instance + L"_upr_req_" + std::to_wstring(threadId);
}

volatile LONG* field(const void* view, std::size_t offset) {
    return reinterpret_cast<volatile LONG*>(static_cast<char*>(const_cast<void*>(view)) + offset);
}
void storeField(const void* view, std::size_t offset, DWORD value) {
    InterlockedExchange(field(view, offset), static_cast<LONG>(value));
}
DWORD loadField(const void* view, std::size_t offset) {
    return static_cast<DWORD>(InterlockedCompareExchange(field(view, offset), 0, 0));
}

// Handed from set-up to the listener thread, which signals `queueReady` once
// its message queue exists and does not touch the record after that.
struct ListenerStart {
    LauncherApp* app;
    HANDLE queueReady;
};

// One forwarded request, owned by its worker thread.
struct ForwardedRequest {
    LauncherApp* app;
    DWORD requester;
    std::vector<std::wstring> arguments;
};

void describePending(JNIEnv* env) {
    if (env->ExceptionCheck()) env->ExceptionDescribe();
}

// Finds secondaryMain on the main class, calls it with the arguments and
// posts the reply; false when the request could not be served.
bool callSecondaryMain(JNIEnv* env, const std::wstring& mainClass, const ForwardedRequest& request, UINT message) {
    // The class name reaches FindClass as modified UTF-8, whatever the code page.
    jstring name = newJavaString(env, mainClass);
    if (!name) {
        describePending(env);
        return false;
    }
    const char* bytes = env->GetStringUTFChars(name, nullptr);
    if (!bytes) {
        describePending(env);
        return false;
    }
    jclass type = env->FindClass(bytes);
    env->ReleaseStringUTFChars(name, bytes);
    if (!type) {
        describePending(env);
        return false;
    }
    bool returnsInt = false;
    jmethodID method = env->GetStaticMethodID(type, "secondaryMain", "([Ljava/lang/String;)V");
    if (!method) {
        if (env->ExceptionCheck()) env->ExceptionClear();
        method = env->GetStaticMethodID(type, "secondaryMain", "([Ljava/lang/String;)I");
        returnsInt = true;
    }
    if (!method) {
        describePending(env);
        return false;
    }
    jobjectArray array = newJavaStringArray(env, request.arguments);
    if (!array) {
        describePending(env);
        return false;
    }
    if (returnsInt) {
        jint result = env->CallStaticIntMethod(type, method, array);
        // A method that threw has no result: the second instance ends with
        // -1 rather than with a success it was never given.
        const bool threw = env->ExceptionCheck() == JNI_TRUE;
        PostThreadMessageW(request.requester, message, static_cast<WPARAM>(static_cast<DWORD>(threw ? -1 : result)),
                           0);
    } else {
        PostThreadMessageW(request.requester, message, 0, 0);
        env->CallStaticVoidMethod(type, method, array);
    }
    if (env->ExceptionCheck()) {
        env->ExceptionDescribe();
        return false;
    }
    return true;
}

}  // namespace

bool LauncherApp::SetupSingleInstance() {
    std::wstring path;
    if (!SettingsFile::mainPath(*this, path)) return false;
    LayeredSettingsFile settings(path, embeddedSettings, settingsContent);
    if (settings.readValue(L"Application", L"Application Type") == L"service") return true;
    if (settings.readValue(L"Application", L"Single Instance") != L"yes") return true;
    std::wstring executable;
    if (!GetExecutablePath(executable)) return false;
    instanceName = executable;
    for (wchar_t& c : instanceName)
        if (c == L'\\') c = L'_';
    singleInstanceActive = true;

    // Every start takes this lock around creating or opening the section, and
    // the first instance holds it until its header is complete.
    Handle setupLock(CreateMutexW(nullptr, FALSE, (instanceName + L"_upr_mtx").c_str()));
    const DWORD locked = setupLock ? WaitForSingleObject(setupLock.get(), INFINITE) : WAIT_FAILED;
    if (locked != WAIT_OBJECT_0 && locked != WAIT_ABANDONED) {
        singleInstanceActive = false;
        return true;
    }
    struct Unlock {
        HANDLE mutex;
        ~Unlock() { ReleaseMutex(mutex); }
    } unlock{setupLock.get()};

    SetLastError(ERROR_SUCCESS);
    instanceMapping.reset(
        CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kSectionSize, instanceName.c_str()));
    const DWORD created = GetLastError();
    if (instanceMapping) {
        isPrimaryInstance = created == 0;
        instanceView.reset(MapViewOfFile(instanceMapping.get(), FILE_MAP_WRITE, 0, 0, 0));
    }
    if (!instanceView) {
        diag::log(L"single instance: the shared section %s cannot be had, this start runs alone", instanceName);
        singleInstanceActive = false;
        instanceMapping.reset();
        return true;
    }
    if (!isPrimaryInstance) {
        const bool forwarded = forwardArguments();
        diag::log(forwarded ? L"single instance: a first instance runs, arguments forwarded to it, count %d"
                            : L"single instance: a first instance runs, forwarding the arguments to it failed, count %d",
                  static_cast<std::int32_t>(arguments.size()));
        return forwarded;
    }
    if (!startListening()) {
        diag::log(L"single instance: first instance, but it cannot listen for requests");
        // Gone again, so that later starts do not wait for a listener that is not there.
        singleInstanceActive = false;
        instanceView.reset();
        instanceMapping.reset();
    } else {
        diag::log(L"single instance: first instance, listening for later starts");
    }
    return true;
}

bool LauncherApp::startListening() {
    instanceEvent.reset(CreateEventW(nullptr, TRUE, FALSE, (instanceName + L"_upr_evt").c_str()));
    requestMessage = RegisterWindowMessageW(instanceName.c_str());
    listenerStop.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    Handle queueReady(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!instanceEvent || !requestMessage || !listenerStop || !queueReady) return false;
    storeField(instanceView.get(), kMessageOffset, requestMessage);
    storeField(instanceView.get(), kProcessOffset, GetCurrentProcessId());

    ListenerStart start{this, queueReady.get()};
    DWORD threadId = 0;
    listenerThread.reset(CreateThread(nullptr, 0, &LauncherApp::ListenForRequests, &start, 0, &threadId));
    if (!listenerThread) return false;
    // The thread id is published only once the listener's queue can take the request.
    HANDLE waits[] = {queueReady.get(), listenerThread.get()};
    if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) {
        listenerThread.reset();
        return false;
    }
    listenerThreadId = threadId;
    storeField(instanceView.get(), kListenerOffset, threadId);
    return true;
}

bool LauncherApp::forwardArguments() {
    // The reply may come as soon as the request is posted: the queue exists first.
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);

    auto fail = [this](DWORD error) {
        showWindowsError(messageOwner, IDS_FORWARD_FAILED, error);
        return false;
    };
    std::optional<std::vector<std::uint8_t>> block = encodeForwardedArguments(arguments);
    if (!block) {
        showErrorBox(messageOwner, loadMessage(IDS_FORWARD_TOO_LONG));
        return false;
    }
    const DWORD listener = loadField(instanceView.get(), kListenerOffset);
    const DWORD process = loadField(instanceView.get(), kProcessOffset);
    requestMessage = RegisterWindowMessageW(instanceName.c_str());
    // Whatever the section says must match what the first instance would have written.
    if (!listener || !process || !requestMessage || loadField(instanceView.get(), kMessageOffset) != requestMessage)
        return fail(ERROR_INVALID_DATA);

    firstInstance.reset(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process));
    if (!firstInstance) return fail(GetLastError());

    const DWORD self = GetCurrentThreadId();
    const std::size_t size = kRequestHeader + block->size();
    requestMapping.reset(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, static_cast<DWORD>(size),
                                            requestName(instanceName, self).c_str()));
    if (!requestMapping) return fail(GetLastError());
    if (GetLastError() == ERROR_ALREADY_EXISTS) return fail(ERROR_ALREADY_EXISTS);
    requestView.reset(MapViewOfFile(requestMapping.get(), FILE_MAP_WRITE, 0, 0, 0));
    if (!requestView) return fail(GetLastError());
    std::memcpy(static_cast<char*>(const_cast<void*>(requestView.get())) + kRequestHeader, block->data(),
                block->size());
    storeField(requestView.get(), 0, kRequestWaiting);

    if (!PostThreadMessageW(listener, requestMessage, self, 0)) return fail(GetLastError());
    return true;
}

std::int32_t LauncherApp::WaitForFirstInstance() {
    auto takeReply = [this](std::int32_t& result) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.hwnd == nullptr && message.message == requestMessage) {
                result = static_cast<std::int32_t>(static_cast<DWORD>(message.wParam));
                diag::log(L"single instance: the first instance replied %d", result);
                return true;
            }
        }
        return false;
    };
    HANDLE process = firstInstance.get();
    for (;;) {
        std::int32_t result = 0;
        if (takeReply(result)) return result;
        const DWORD woke = MsgWaitForMultipleObjectsEx(1, &process, INFINITE, QS_POSTMESSAGE, MWMO_INPUTAVAILABLE);
        if (woke == WAIT_OBJECT_0 + 1) continue;
        if (woke != WAIT_OBJECT_0) return -1;
        // A reply posted just before the first instance ended still counts.
        if (takeReply(result)) return result;
        DWORD code = 0;
        if (!GetExitCodeProcess(process, &code)) return -1;
        diag::log(L"single instance: the first instance ended without a reply, exit code %d",
                  static_cast<std::int32_t>(code));
        return static_cast<std::int32_t>(code);
    }
}

DWORD WINAPI LauncherApp::ListenForRequests(void* param) {
    auto* start = static_cast<ListenerStart*>(param);
    LauncherApp* app = start->app;
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
    SetEvent(start->queueReady);

    HANDLE stop = app->listenerStop.get();
    for (;;) {
        const DWORD woke = MsgWaitForMultipleObjectsEx(1, &stop, INFINITE, QS_POSTMESSAGE, MWMO_INPUTAVAILABLE);
        if (woke != WAIT_OBJECT_0 + 1) return 0;
        for (int i = 0; i < kMessagesPerWake && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE); ++i) {
            if (message.message == WM_QUIT) return 0;
            if (message.hwnd == nullptr && message.message == app->requestMessage)
                app->acceptRequest(static_cast<DWORD>(message.wParam));
        }
    }
}

void LauncherApp::acceptRequest(DWORD requester) {
    // Nothing here trusts the sender: the mapping may be missing, of any
    // size, or hold anything at all.
    Handle mapping(OpenFileMappingW(FILE_MAP_READ | FILE_MAP_WRITE, FALSE, requestName(instanceName, requester).c_str()));
    if (!mapping) return;
    MappedView view(MapViewOfFile(mapping.get(), FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, 0));
    if (!view) return;
    MEMORY_BASIC_INFORMATION region{};
    if (VirtualQuery(view.get(), &region, sizeof(region)) < sizeof(region) || region.RegionSize <= kRequestHeader)
        return;
    // Each request is taken once, however often it is announced.
    if (InterlockedCompareExchange(field(view.get(), 0), kRequestTaken, kRequestWaiting) != kRequestWaiting) return;
    // A private copy: the sender cannot change what is decoded while it is read.
    const std::size_t available = std::min<std::size_t>(region.RegionSize - kRequestHeader, kMaxForwardedBytes);
    std::vector<std::uint8_t> copy(available);
    std::memcpy(copy.data(), static_cast<const char*>(view.get()) + kRequestHeader, available);
    std::optional<std::vector<std::wstring>> forwarded = decodeForwardedArguments(copy.data(), copy.size());
    if (!forwarded) return;
    // A start without arguments hands over one empty string.
    if (forwarded->empty()) forwarded->emplace_back();

    // Workers that have ended are let go before another one starts.
    std::erase_if(instanceWorkers, [](const Handle& worker) { return WaitForSingleObject(worker.get(), 0) == WAIT_OBJECT_0; });
    auto request = std::make_unique<ForwardedRequest>(ForwardedRequest{this, requester, std::move(*forwarded)});
    diag::log(L"single instance: request from a later start, argument count %d",
              static_cast<std::int32_t>(request->arguments.size()));
    Handle worker(CreateThread(nullptr, 0, &LauncherApp::ServeSecondInstance, request.get(), 0, nullptr));
    if (!worker) return;
    request.release();
    instanceWorkers.push_back(std::move(worker));
}

DWORD WINAPI LauncherApp::ServeSecondInstance(void* param) {
    std::unique_ptr<ForwardedRequest> request(static_cast<ForwardedRequest*>(param));
    LauncherApp& app = *request->app;
    // Stop comes first, so that a worker woken at shutdown never starts on the JVM.
    HANDLE waits[] = {app.listenerStop.get(), app.instanceEvent.get()};
    if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) return 1;
    JavaVM* vm = app.readyVm.load();
    if (!vm) return 1;
    JNIEnv* env = nullptr;
    if (vm->AttachCurrentThread(reinterpret_cast<void**>(&env), nullptr) != JNI_OK || !env) return 1;
    const bool served = callSecondaryMain(env, app.mainClass, *request, app.requestMessage);
    diag::log(L"single instance: secondaryMain for a later start %s", served ? L"called" : L"could not be called");
    // Only a runtime of the IBM registry family keeps its threads attached.
    if (!app.ibmRegistryRuntime) vm->DetachCurrentThread();
    return served ? 0 : 1;
}

void LauncherApp::signalInstanceReady() {
    if (!instanceEvent) return;
    readyVm.store(javaVm);
    SetEvent(instanceEvent.get());
}

void LauncherApp::ShutdownSingleInstance() {
    if (singleInstanceActive) {
        if (isPrimaryInstance && listenerThread) {
            // The stop event ends the listener and every worker still waiting
            // for the application; workers already serving finish first.
            SetEvent(listenerStop.get());
            WaitForSingleObject(listenerThread.get(), INFINITE);
            for (const Handle& worker : instanceWorkers) WaitForSingleObject(worker.get(), INFINITE);
            instanceWorkers.clear();
        }
        instanceView.reset();
        instanceMapping.reset();
    }
    requestView.reset();
    requestMapping.reset();
}

}  // namespace vexa
