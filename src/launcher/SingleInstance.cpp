// Single instance: the first start of an application creates a named shared
// section and listens for requests; a later start of the same executable hands
// its arguments to it, waits for the answer of the main class's secondaryMain
// and ends with it.
//
// Every object is named after the executable (InstanceName.h): its long,
// final, upper-cased path, hashed, behind its file name. The shared section
// holds the first instance's header: the listener's thread id at offset 0,
// the process id at 4 and the registered request message at 8. Each second
// instance puts its arguments into a mapping of its own, named after the
// section, its thread id and its attempt, and posts the request message to
// the listener. The listener copies the arguments at once and marks the
// request taken; a worker thread per request waits for the application to be
// ready, marks the request served and calls secondaryMain. A request the
// first instance will not serve (it is ending) is marked refused, and its
// start tries again, becoming the first instance when there is none.
//
// A named mutex holds back second instances while the first one writes or
// clears its header; it is waited on for a few seconds at most. The shared
// objects carry a descriptor for the current user, so that a start with
// other rights reaches the first instance or is told that it cannot.
#include <windows.h>
#include <sddl.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <optional>

#include "launcher/SingleInstance.h"

#include "foundation/Diagnostics.h"
#include "foundation/MessageIds.h"
#include "foundation/Text.h"
#include "jvm/JvmHost.h"
#include "launcher/ForwardedArguments.h"
#include "launcher/InstanceName.h"

namespace vexa {
namespace {

constexpr DWORD kSectionSize = 2092;
constexpr std::size_t kListenerOffset = 0;
constexpr std::size_t kProcessOffset = 4;
constexpr std::size_t kMessageOffset = 8;

// A request mapping starts with its state, then the argument block.
constexpr DWORD kRequestWaiting = 1;  // written by the later start
constexpr DWORD kRequestTaken = 2;    // the listener copied the arguments
constexpr DWORD kRequestServed = 3;   // a worker handed them to the application
constexpr DWORD kRequestRefused = 4;  // the first instance will not serve it
constexpr std::size_t kRequestHeader = 4;
// The lParam of a reply that says "refused" rather than carrying an answer.
constexpr LPARAM kRefusal = 1;

// How long the set-up lock is waited for, and each wait when serving stops.
constexpr DWORD kLockWaitMs = 5000;
constexpr DWORD kStopWaitMs = 5000;
constexpr DWORD kQueueWaitMs = 5000;  // for a listener thread to make its queue
// A later start whose request is refused tries this often in all.
constexpr DWORD kAttempts = 4;
// Messages handled by the listener per wake-up, so that a flood of posts
// cannot keep it from seeing the stop event.
constexpr int kMessagesPerWake = 64;

std::wstring requestName(const std::wstring& instance, DWORD threadId, DWORD attempt) {
    return instance + L"_upr_req_" + unsignedDecimalText(threadId) + L"_" + unsignedDecimalText(attempt);
}

// A view of a mapping that another process made may fault when read or
// written (a mapping backed by a file on a share that went away). These copy
// through the memory manager, which fails instead of faulting.
bool copyIn(const void* from, void* to, std::size_t size) {
    SIZE_T done = 0;
    return ReadProcessMemory(GetCurrentProcess(), from, to, size, &done) && done == size;
}
bool copyOut(const void* view, std::size_t offset, DWORD value) {
    SIZE_T done = 0;
    void* at = static_cast<char*>(const_cast<void*>(view)) + offset;
    return WriteProcessMemory(GetCurrentProcess(), at, &value, sizeof(value), &done) && done == sizeof(value);
}
// Whether the header of the instance section can be read and written in
// place: another process may have made the section with reserved pages only,
// which fault when touched. Committed pages of a view stay so.
bool headerInPlace(const void* view) {
    MEMORY_BASIC_INFORMATION info{};
    return VirtualQuery(view, &info, sizeof(info)) == sizeof(info) && info.State == MEM_COMMIT &&
           info.Protect == PAGE_READWRITE && info.RegionSize >= kMessageOffset + sizeof(DWORD);
}
DWORD headerField(const void* view, std::size_t offset) {
    return static_cast<DWORD>(*reinterpret_cast<const volatile LONG*>(static_cast<const char*>(view) + offset));
}
void setHeaderField(const void* view, std::size_t offset, DWORD value) {
    InterlockedExchange(reinterpret_cast<volatile LONG*>(static_cast<char*>(const_cast<void*>(view)) + offset),
                        static_cast<LONG>(value));
}
bool readField(const void* view, std::size_t offset, DWORD& value) {
    return copyIn(static_cast<const char*>(view) + offset, &value, sizeof(value));
}

struct LocalMemoryTraits {
    using Type = HLOCAL;
    static Type invalid() noexcept { return nullptr; }
    static void close(Type memory) noexcept { ::LocalFree(memory); }
};
using LocalMemory = UniqueHandle<LocalMemoryTraits>;

// The string form of the current user's SID; empty when it cannot be had.
std::wstring currentUserSid(bool& elevated) {
    Handle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) return {};
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    std::vector<std::uint8_t> user(size ? size : 1);
    if (!GetTokenInformation(token.get(), TokenUser, user.data(), size, &size)) return {};
    LocalMemory text;
    LPWSTR sid = nullptr;
    if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, &sid)) return {};
    text.reset(sid);
    size = 0;
    GetTokenInformation(token.get(), TokenIntegrityLevel, nullptr, 0, &size);
    std::vector<std::uint8_t> label(size ? size : 1);
    if (GetTokenInformation(token.get(), TokenIntegrityLevel, label.data(), size, &size)) {
        PSID level = reinterpret_cast<TOKEN_MANDATORY_LABEL*>(label.data())->Label.Sid;
        const DWORD rid = *GetSidSubAuthority(level, *GetSidSubAuthorityCount(level) - 1);
        elevated = rid > SECURITY_MANDATORY_MEDIUM_RID;
    }
    return sid;
}

}  // namespace

// The first instance's header as published.
struct SingleInstance::Header {
    DWORD listener = 0;
    DWORD process = 0;
    DWORD message = 0;
};

enum class SingleInstance::Reach {
    Alive,   // the first instance runs
    Gone,    // no first instance: the header is cleared, or its process ended
    Denied,  // it runs with rights this start does not reach
};

// The descriptor of the shared objects: the current user and the system get
// full access, nobody else any. A start run as administrator also labels them
// with the medium integrity level, so that the user's ordinary starts may
// write to them.
class SingleInstance::Security {
public:
    Security() {
        bool elevated = false;
        const std::wstring sid = currentUserSid(elevated);
        if (sid.empty()) return;
        const std::wstring access = L"D:P(A;;GA;;;" + sid + L")(A;;GA;;;SY)";
        if (!(elevated && convert(access + L"S:(ML;;NW;;;ME)"))) convert(access);
    }
    SECURITY_ATTRIBUTES* attributes() { return descriptor_ ? &attributes_ : nullptr; }

private:
    bool convert(const std::wstring& sddl) {
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr))
            return false;
        descriptor_.reset(descriptor);
        attributes_ = SECURITY_ATTRIBUTES{sizeof(SECURITY_ATTRIBUTES), descriptor, FALSE};
        return true;
    }
    LocalMemory descriptor_;
    SECURITY_ATTRIBUTES attributes_{};
};

// What the listener and the workers share with the first instance. Each of
// them holds it, so that one still running after shutdown's bounded waits
// finds it whole.
struct SingleInstance::Shared {
    std::wstring instanceName;
    std::wstring mainClass;
    UINT message = 0;
    Handle stop;   // set when serving stops
    Handle ready;  // set just before main
    std::atomic<JavaVM*> vm{nullptr};
    std::atomic<bool> keepAttached{false};
    // Held shared by a worker while it attaches, exclusively to stop: no
    // worker attaches after serving has stopped.
    SRWLOCK gate = SRWLOCK_INIT;
    bool stopped = false;
    SRWLOCK workersLock = SRWLOCK_INIT;
    std::vector<Handle> workers;
};

namespace {

using Shared = SingleInstance::Shared;

// Handed from set-up to the listener thread, which owns it.
struct ListenerStart {
    std::shared_ptr<Shared> shared;
};

// One forwarded request, owned by its worker thread.
struct ForwardedRequest {
    std::shared_ptr<Shared> shared;
    DWORD requester = 0;
    Handle mapping;
    MappedView view;
    std::vector<std::wstring> arguments;
};

// Marks a request refused and tells its start, which then tries again.
void refuse(const Shared& shared, DWORD requester, const void* view) {
    if (copyOut(view, 0, kRequestRefused)) PostThreadMessageW(requester, shared.message, 0, kRefusal);
}

void describePending(JNIEnv* env) {
    if (env->ExceptionCheck()) env->ExceptionDescribe();
}

// Finds secondaryMain on the main class, calls it with the arguments and
// posts the reply; false when the request could not be served.
bool callSecondaryMain(JNIEnv* env, const Shared& shared, const ForwardedRequest& request) {
    // The class name reaches FindClass as modified UTF-8, whatever the code page.
    jstring name = newJavaString(env, shared.mainClass);
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
        PostThreadMessageW(request.requester, shared.message,
                           static_cast<WPARAM>(static_cast<DWORD>(threw ? -1 : result)), 0);
    } else {
        PostThreadMessageW(request.requester, shared.message, 0, 0);
        env->CallStaticVoidMethod(type, method, array);
    }
    if (env->ExceptionCheck()) {
        env->ExceptionDescribe();
        return false;
    }
    return true;
}

DWORD WINAPI ServeSecondInstance(void* param) {
    std::unique_ptr<ForwardedRequest> request(static_cast<ForwardedRequest*>(param));
    Shared& shared = *request->shared;
    // Stop comes first, so that a worker woken at shutdown never starts on the JVM.
    HANDLE waits[] = {shared.stop.get(), shared.ready.get()};
    if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) {
        refuse(shared, request->requester, request->view.get());
        return 1;
    }
    AcquireSRWLockShared(&shared.gate);
    JavaVM* vm = shared.stopped ? nullptr : shared.vm.load();
    JNIEnv* env = nullptr;
    const bool attached = vm && vm->AttachCurrentThread(reinterpret_cast<void**>(&env), nullptr) == JNI_OK && env;
    ReleaseSRWLockShared(&shared.gate);
    if (!attached) {
        refuse(shared, request->requester, request->view.get());
        return 1;
    }
    // From here on the application has the request: when it ends without
    // answering, the later start ends with its exit code.
    copyOut(request->view.get(), 0, kRequestServed);
    const bool served = callSecondaryMain(env, shared, *request);
    diag::log(L"single instance: secondaryMain for a later start %s", served ? L"called" : L"could not be called");
    // Only a runtime of the IBM registry family keeps its threads attached.
    if (!shared.keepAttached.load()) vm->DetachCurrentThread();
    return served ? 0 : 1;
}

// Opens a later start's request. Nothing here trusts the sender: the mapping
// may be missing, of any size, or hold anything at all.
bool openRequest(const Shared& shared, DWORD requester, DWORD attempt, Handle& mapping, MappedView& view,
                 std::size_t& size) {
    mapping.reset(OpenFileMappingW(FILE_MAP_READ | FILE_MAP_WRITE, FALSE,
                                   requestName(shared.instanceName, requester, attempt).c_str()));
    if (!mapping) return false;
    view.reset(MapViewOfFile(mapping.get(), FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, 0));
    if (!view) return false;
    MEMORY_BASIC_INFORMATION region{};
    if (VirtualQuery(view.get(), &region, sizeof(region)) < sizeof(region) || region.RegionSize <= kRequestHeader)
        return false;
    DWORD state = 0;
    // Each request is taken once, however often it is announced: only this
    // listener thread takes requests.
    if (!readField(view.get(), 0, state) || state != kRequestWaiting) return false;
    size = region.RegionSize;
    return true;
}

void acceptRequest(const std::shared_ptr<Shared>& shared, DWORD requester, DWORD attempt) {
    auto request = std::make_unique<ForwardedRequest>();
    std::size_t size = 0;
    if (!openRequest(*shared, requester, attempt, request->mapping, request->view, size)) return;
    // A private copy: the sender cannot change what is decoded while it is read.
    const std::size_t available = std::min<std::size_t>(size - kRequestHeader, kMaxForwardedBytes);
    std::vector<std::uint8_t> copy(available);
    if (!copyIn(static_cast<const char*>(request->view.get()) + kRequestHeader, copy.data(), available)) return;
    if (!copyOut(request->view.get(), 0, kRequestTaken)) return;
    std::optional<std::vector<std::wstring>> forwarded = decodeForwardedArguments(copy.data(), copy.size());
    if (!forwarded) {
        // Not a request a launcher writes: nobody waits for an answer to it.
        copyOut(request->view.get(), 0, kRequestRefused);
        return;
    }
    // A start without arguments hands over one empty string.
    if (forwarded->empty()) forwarded->emplace_back();
    request->shared = shared;
    request->requester = requester;
    request->arguments = std::move(*forwarded);
    diag::log(L"single instance: request from a later start, argument count %d",
              static_cast<std::int32_t>(request->arguments.size()));

    AcquireSRWLockExclusive(&shared->workersLock);
    // Workers that have ended are let go before another one starts.
    std::erase_if(shared->workers,
                  [](const Handle& worker) { return WaitForSingleObject(worker.get(), 0) == WAIT_OBJECT_0; });
    Handle worker(CreateThread(nullptr, 0, &ServeSecondInstance, request.get(), 0, nullptr));
    if (worker) {
        request.release();
        shared->workers.push_back(std::move(worker));
    }
    ReleaseSRWLockExclusive(&shared->workersLock);
    if (request) refuse(*shared, requester, request->view.get());
}

// Requests still queued when serving stops are refused, so that their starts
// go on at once instead of waiting for this process to end.
void refuseQueued(const Shared& shared) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.hwnd != nullptr || message.message != shared.message) continue;
        Handle mapping;
        MappedView view;
        std::size_t size = 0;
        const DWORD requester = static_cast<DWORD>(message.wParam);
        if (openRequest(shared, requester, static_cast<DWORD>(message.lParam), mapping, view, size))
            refuse(shared, requester, view.get());
    }
}

DWORD WINAPI ListenForRequests(void* param) {
    std::unique_ptr<ListenerStart> start(static_cast<ListenerStart*>(param));
    const std::shared_ptr<Shared> shared = start->shared;
    // The queue: until it exists, a later start's post is refused (and
    // tried again).
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);

    HANDLE stop = shared->stop.get();
    for (;;) {
        const DWORD woke = MsgWaitForMultipleObjectsEx(1, &stop, INFINITE, QS_POSTMESSAGE, MWMO_INPUTAVAILABLE);
        if (woke == WAIT_OBJECT_0) {
            refuseQueued(*shared);
            return 0;
        }
        if (woke != WAIT_OBJECT_0 + 1) return 1;
        // Only the stop event ends the listener: a WM_QUIT that any process
        // may post to it is passed over like every other message.
        for (int i = 0; i < kMessagesPerWake && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE); ++i) {
            if (message.hwnd == nullptr && message.message == shared->message)
                acceptRequest(shared, static_cast<DWORD>(message.wParam), static_cast<DWORD>(message.lParam));
        }
    }
}

// Holds the set-up mutex for a scope once it has been had.
class SetupLock {
public:
    SetupLock(const std::wstring& instance, SECURITY_ATTRIBUTES* security)
        : mutex_(CreateMutexW(security, FALSE, (instance + L"_upr_mtx").c_str())) {
        const DWORD locked = mutex_ ? WaitForSingleObject(mutex_.get(), kLockWaitMs) : WAIT_FAILED;
        held_ = locked == WAIT_OBJECT_0 || locked == WAIT_ABANDONED;
        if (!held_)
            diag::log(L"single instance: the set-up lock was not had within %d ms (another process holds it); "
                      L"going on without it",
                      static_cast<std::int32_t>(kLockWaitMs));
    }
    ~SetupLock() {
        if (held_) ReleaseMutex(mutex_.get());
    }
    bool held() const { return held_; }

private:
    Handle mutex_;
    bool held_ = false;
};

Failure unreachable(DWORD error) {
    diag::log(L"single instance: the first instance cannot be reached with this start's rights");
    return Failure::of(IDS_INSTANCE_UNREACHABLE, {static_cast<std::int32_t>(error)});
}

}  // namespace

std::wstring instanceNameForExecutable(const std::wstring& executable) {
    std::wstring path;
    FileHandle file(CreateFileW(executable.c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                                nullptr));
    if (file) {
        const DWORD flags = FILE_NAME_NORMALIZED | VOLUME_NAME_DOS;
        const DWORD size = GetFinalPathNameByHandleW(file.get(), nullptr, 0, flags);
        path.resize(size);
        const DWORD written = size ? GetFinalPathNameByHandleW(file.get(), path.data(), size, flags) : 0;
        path.resize(written < size ? written : 0);
    }
    if (path.empty()) {
        // The long form of the path, or the path as it is.
        const DWORD size = GetLongPathNameW(executable.c_str(), nullptr, 0);
        path.resize(size);
        const DWORD written = size ? GetLongPathNameW(executable.c_str(), path.data(), size) : 0;
        path.resize(written < size ? written : 0);
        if (path.empty()) path = executable;
    }
    path = withoutVerbatimPrefix(path);
    // Upper case, as the file system compares names.
    const int length = static_cast<int>(path.size());
    const int size = LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, path.c_str(), length, nullptr, 0, nullptr,
                                   nullptr, 0);
    std::wstring upper(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
    if (size > 0 && LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, path.c_str(), length, upper.data(), size,
                                  nullptr, nullptr, 0) == size)
        path = std::move(upper);
    return instanceNameOf(path);
}

SingleInstance::SingleInstance() = default;
SingleInstance::~SingleInstance() { shutdown(); }

Result<SingleInstance::Role> SingleInstance::setUp(const LauncherSettings& launcher,
                                                   const std::vector<std::wstring>& arguments) {
    LayeredSettingsFile settings = launcher.layered();
    if (settings.readValue(L"Application", L"Application Type") == L"service") return Role::Alone;
    if (settings.readValue(L"Application", L"Single Instance") != L"yes") return Role::Alone;
    mainClass_ = launcher.mainClass;
    instanceName_ = instanceNameForExecutable(launcher.executable);
    security_ = std::make_unique<Security>();
    diag::log(L"single instance: instance name %s%s", instanceName_,
              security_->attributes() ? L"" : L"; the shared objects get the default descriptor");

    for (DWORD attempt = 0; attempt < kAttempts; ++attempt) {
        Result<Role> role = takeRole(arguments, attempt);
        if (!role || role.value() != Role::Second) {
            active_ = role && role.value() == Role::First;
            if (!active_) releaseSection();
            return role;
        }
        if (std::optional<std::int32_t> answer = awaitAnswer()) {
            active_ = true;
            answer_ = *answer;
            return Role::Second;
        }
        diag::log(L"single instance: the first instance ended without serving the request; this start tries again");
        requestView_.reset();
        requestMapping_.reset();
        firstInstance_.reset();
        releaseSection();
    }
    return Failure::windowsError(IDS_FORWARD_FAILED, ERROR_RETRY);
}

Result<SingleInstance::Role> SingleInstance::takeRole(const std::vector<std::wstring>& arguments, DWORD attempt) {
    // Every start takes this lock around creating or opening the section, and
    // the first instance holds it while it writes or clears its header.
    const SetupLock lock(instanceName_, security_->attributes());
    DWORD error = 0;
    if (lock.held()) {
        SetLastError(ERROR_SUCCESS);
        instanceMapping_.reset(CreateFileMappingW(INVALID_HANDLE_VALUE, security_->attributes(), PAGE_READWRITE, 0,
                                                  kSectionSize, instanceName_.c_str()));
        error = GetLastError();
    } else {
        // Without the lock no section is made: only a published header is used.
        instanceMapping_.reset(OpenFileMappingW(FILE_MAP_READ | FILE_MAP_WRITE, FALSE, instanceName_.c_str()));
        error = instanceMapping_ ? ERROR_ALREADY_EXISTS : GetLastError();
    }
    if (instanceMapping_) {
        instanceView_.reset(MapViewOfFile(instanceMapping_.get(), FILE_MAP_WRITE, 0, 0, 0));
        if (!instanceView_) error = GetLastError();
    }
    if (!instanceView_) {
        if (error == ERROR_ACCESS_DENIED) return unreachable(error);
        diag::log(L"single instance: the shared section cannot be had, this start runs alone");
        return Role::Alone;
    }
    if (error == ERROR_ALREADY_EXISTS) {
        Header header;
        if (!headerInPlace(instanceView_.get())) return unreachable(ERROR_READ_FAULT);
        header.listener = headerField(instanceView_.get(), kListenerOffset);
        header.process = headerField(instanceView_.get(), kProcessOffset);
        header.message = headerField(instanceView_.get(), kMessageOffset);
        const Reach reach = reachFirstInstance(header);
        if (reach == Reach::Denied) return unreachable(ERROR_ACCESS_DENIED);
        if (reach == Reach::Alive) {
            std::optional<Failure> failed = forwardArguments(arguments, header, attempt);
            diag::log(!failed ? L"single instance: a first instance runs, arguments forwarded to it, count %d"
                              : L"single instance: a first instance runs, forwarding the arguments to it failed, "
                                L"count %d",
                      static_cast<std::int32_t>(arguments.size()));
            if (failed) return std::move(*failed);  // shown once the lock is let go
            return Role::Second;
        }
        if (!lock.held()) {
            diag::log(L"single instance: no first instance to be found without the set-up lock, this start runs alone");
            return Role::Alone;
        }
        diag::log(L"single instance: the shared section is left from a first instance that has ended; this start "
                  L"takes it over");
    }
    if (!startListening()) {
        diag::log(L"single instance: first instance, but it cannot listen for requests");
        return Role::Alone;
    }
    primary_ = true;
    diag::log(L"single instance: first instance, listening for later starts");
    return Role::First;
}

SingleInstance::Reach SingleInstance::reachFirstInstance(const Header& header) {
    if (header.listener == 0 && header.process == 0) return Reach::Gone;  // cleared when it ended
    firstInstance_.reset(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, header.process));
    if (!firstInstance_) return GetLastError() == ERROR_ACCESS_DENIED ? Reach::Denied : Reach::Gone;
    if (WaitForSingleObject(firstInstance_.get(), 0) != WAIT_TIMEOUT) return Reach::Gone;
    return Reach::Alive;
}

std::optional<Failure> SingleInstance::forwardArguments(const std::vector<std::wstring>& arguments,
                                                        const Header& header, DWORD attempt) {
    // The reply may come as soon as the request is posted: the queue exists first.
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);

    auto fail = [](DWORD error) { return Failure::windowsError(IDS_FORWARD_FAILED, error); };
    std::optional<std::vector<std::uint8_t>> block = encodeForwardedArguments(arguments);
    if (!block) return Failure::of(IDS_FORWARD_TOO_LONG);
    requestMessage_ = RegisterWindowMessageW(instanceName_.c_str());
    // Whatever the section says must match what the first instance would
    // have written: its message, and a listener thread of its process.
    if (!requestMessage_ || header.message != requestMessage_) return fail(ERROR_INVALID_DATA);
    Handle listener(OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, header.listener));
    if (!listener && GetLastError() == ERROR_ACCESS_DENIED) return unreachable(ERROR_ACCESS_DENIED);
    if (!listener || GetProcessIdOfThread(listener.get()) != header.process) return fail(ERROR_INVALID_DATA);
    // The answer may come from a process with other rights.
    ChangeWindowMessageFilter(requestMessage_, MSGFLT_ADD);

    const DWORD self = GetCurrentThreadId();
    const std::size_t size = kRequestHeader + block->size();
    SetLastError(ERROR_SUCCESS);
    requestMapping_.reset(CreateFileMappingW(INVALID_HANDLE_VALUE, security_->attributes(), PAGE_READWRITE, 0,
                                            static_cast<DWORD>(size),
                                            requestName(instanceName_, self, attempt).c_str()));
    if (!requestMapping_) return fail(GetLastError());
    if (GetLastError() == ERROR_ALREADY_EXISTS) return fail(ERROR_ALREADY_EXISTS);
    requestView_.reset(MapViewOfFile(requestMapping_.get(), FILE_MAP_WRITE, 0, 0, 0));
    if (!requestView_) return fail(GetLastError());
    char* request = static_cast<char*>(const_cast<void*>(requestView_.get()));
    std::memcpy(request + kRequestHeader, block->data(), block->size());
    InterlockedExchange(reinterpret_cast<volatile LONG*>(request), static_cast<LONG>(kRequestWaiting));

    // secondaryMain may bring the running application's window to the front.
    AllowSetForegroundWindow(header.process);
    // A listener that has just started has no queue yet: its thread refuses
    // the post as unknown until then.
    const ULONGLONG deadline = GetTickCount64() + kQueueWaitMs;
    while (!PostThreadMessageW(header.listener, requestMessage_, self, attempt)) {
        const DWORD error = GetLastError();
        DWORD code = 0;
        const bool starting = error == ERROR_INVALID_THREAD_ID && GetExitCodeThread(listener.get(), &code) &&
                              code == STILL_ACTIVE && GetTickCount64() < deadline;
        if (!starting) return error == ERROR_ACCESS_DENIED ? unreachable(error) : fail(error);
        Sleep(1);
    }
    return std::nullopt;
}

std::optional<std::int32_t> SingleInstance::awaitAnswer() {
    auto state = [this] {
        return static_cast<DWORD>(
            InterlockedCompareExchange(reinterpret_cast<volatile LONG*>(const_cast<void*>(requestView_.get())), 0, 0));
    };
    enum class Reply { None, Answer, Refused };
    auto takeReply = [&](std::int32_t& result) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.hwnd != nullptr || message.message != requestMessage_) continue;
            if (message.lParam == kRefusal) {
                if (state() == kRequestRefused) return Reply::Refused;
                continue;
            }
            result = static_cast<std::int32_t>(static_cast<DWORD>(message.wParam));
            diag::log(L"single instance: the first instance replied %d", result);
            return Reply::Answer;
        }
        return Reply::None;
    };
    HANDLE process = firstInstance_.get();
    for (;;) {
        std::int32_t result = 0;
        Reply reply = takeReply(result);
        if (reply == Reply::Answer) return result;
        if (reply == Reply::Refused) return std::nullopt;
        const DWORD woke = MsgWaitForMultipleObjectsEx(1, &process, INFINITE, QS_POSTMESSAGE, MWMO_INPUTAVAILABLE);
        if (woke == WAIT_OBJECT_0 + 1) continue;
        if (woke != WAIT_OBJECT_0) return -1;
        // A reply posted just before the first instance ended still counts.
        reply = takeReply(result);
        if (reply == Reply::Answer) return result;
        // Taken but never handed to the application, or not even taken.
        if (state() != kRequestServed) return std::nullopt;
        DWORD code = 0;
        if (!GetExitCodeProcess(process, &code)) return -1;
        diag::log(L"single instance: the first instance ended without a reply, exit code %d",
                  static_cast<std::int32_t>(code));
        return static_cast<std::int32_t>(code);
    }
}

bool SingleInstance::startListening() {
    auto shared = std::make_shared<Shared>();
    shared->instanceName = instanceName_;
    shared->mainClass = mainClass_;
    // The ready event has no name: nothing outside this process may set it.
    shared->ready.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    shared->stop.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    shared->message = requestMessage_ = RegisterWindowMessageW(instanceName_.c_str());
    if (!shared->ready || !shared->stop || !requestMessage_) return false;
    // A later start with other rights may post its request.
    ChangeWindowMessageFilter(requestMessage_, MSGFLT_ADD);

    auto start = std::make_unique<ListenerStart>(ListenerStart{shared});
    DWORD threadId = 0;
    listenerThread_.reset(CreateThread(nullptr, 0, &ListenForRequests, start.get(), 0, &threadId));
    if (!listenerThread_) return false;
    start.release();
    // Published at once, not after the listener has made its queue: a later
    // start that comes first tries its post again.
    shared_ = std::move(shared);
    // The listener's id last: a later start takes the header as written once it is there.
    const void* view = instanceView_.get();
    setHeaderField(view, kMessageOffset, requestMessage_);
    setHeaderField(view, kProcessOffset, GetCurrentProcessId());
    setHeaderField(view, kListenerOffset, threadId);
    return true;
}

void SingleInstance::signalReady(JavaVM* vm, bool keepAttached) {
    if (!shared_) return;
    shared_->keepAttached.store(keepAttached);
    shared_->vm.store(vm);
    SetEvent(shared_->ready.get());
}

void SingleInstance::stopServing() {
    {
        // Later starts no longer find this instance: no request goes to a
        // thread id that may be reused.
        const SetupLock lock(instanceName_, security_->attributes());
        for (std::size_t offset : {kListenerOffset, kProcessOffset, kMessageOffset})
            setHeaderField(instanceView_.get(), offset, 0);
    }
    AcquireSRWLockExclusive(&shared_->gate);
    shared_->stopped = true;
    ReleaseSRWLockExclusive(&shared_->gate);
    SetEvent(shared_->stop.get());
    const ULONGLONG deadline = GetTickCount64() + kStopWaitMs;
    auto remaining = [deadline] {
        const ULONGLONG now = GetTickCount64();
        return static_cast<DWORD>(now < deadline ? deadline - now : 0);
    };
    if (listenerThread_ && WaitForSingleObject(listenerThread_.get(), remaining()) != WAIT_OBJECT_0)
        diag::log(L"single instance: the listener did not end in time");
    listenerThread_.reset();
    // Workers still waiting for the application end at once; workers already
    // serving go on, and destroying the JVM waits for them.
    AcquireSRWLockExclusive(&shared_->workersLock);
    std::vector<Handle> workers = std::move(shared_->workers);
    shared_->workers.clear();
    ReleaseSRWLockExclusive(&shared_->workersLock);
    for (const Handle& worker : workers) WaitForSingleObject(worker.get(), remaining());
    shared_.reset();
}

void SingleInstance::releaseSection() {
    instanceView_.reset();
    instanceMapping_.reset();
}

void SingleInstance::shutdown() {
    if (primary_ && shared_) stopServing();
    primary_ = false;
    active_ = false;
    listenerThread_.reset();
    releaseSection();
    requestView_.reset();
    requestMapping_.reset();
    firstInstance_.reset();
}

}  // namespace vexa
