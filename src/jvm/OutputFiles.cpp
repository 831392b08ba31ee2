// Where the Java output streams go: "Output File" and "Error File".
#include <optional>

#include "config/SettingsPaths.h"
#include "config/SettingsStore.h"
#include "foundation/Handle.h"
#include "foundation/PathText.h"
#include "foundation/Text.h"
#include "jvm/JvmHost.h"
#include "launcher/LauncherApp.h"
#include "resources/resource.h"
#include "ui/Messages.h"

namespace vexa {
namespace {

std::wstring fullPathOf(const std::wstring& path) {
    DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0) return path;
    std::wstring full(size, L'\0');
    DWORD length = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size) return path;
    full.resize(length);
    return full;
}

// The volume and file index of an existing file; none when it cannot be opened.
std::optional<std::pair<DWORD, ULONGLONG>> fileIdentity(const std::wstring& path) {
    FileHandle file(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file) return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file.get(), &info)) return std::nullopt;
    return std::make_pair(info.dwVolumeSerialNumber,
                          (static_cast<ULONGLONG>(info.nFileIndexHigh) << 32) | info.nFileIndexLow);
}

// Whether two names reach one file: the same full path, or, for a file that
// exists, the same file under another name (a short name, a link).
bool sameFile(const std::wstring& a, const std::wstring& b) {
    if (samePathText(fullPathOf(a), fullPathOf(b))) return true;
    std::optional<std::pair<DWORD, ULONGLONG>> first = fileIdentity(a);
    return first && first == fileIdentity(b);
}

// The launcher's executable and its settings files, which output must never
// overwrite.
bool isLauncherFile(LauncherApp& app, const std::wstring& path) {
    std::wstring executable;
    if (!app.GetExecutablePath(executable)) return false;
    for (const std::wstring& own :
         {executable, settingsPathBeside(executable), SettingsFile::perUserPath(app, executable, false)}) {
        if (!own.empty() && sameFile(path, own)) return true;
    }
    return false;
}

// Opens `path` for `target`; the print stream, or null when the stream keeps
// its target.
jobject redirect(LauncherApp& app, const std::wstring& path, bool append, JavaStream target) {
    if (isLauncherFile(app, path)) {
        showFormattedError(app.messageOwner, loadMessage(IDS_OUTPUT_IS_LAUNCHER_FILE), path);
        return nullptr;
    }
    JNIEnv* env = app.jniEnv;
    createParentFolders(path);  // when that fails, opening the file fails below
    jobject printStream = openPrintStream(env, path, append);
    if (printStream && setJavaStream(env, printStream, target)) return printStream;
    if (env->ExceptionCheck()) env->ExceptionDescribe();
    return nullptr;
}

}  // namespace

void redirectOutputFiles(LauncherApp& app) {
    // Both names are formatted from the same instant.
    const bool outputHasPicture = app.outputFile.find(L'%') != std::wstring::npos;
    const bool errorHasPicture = app.errorFile.find(L'%') != std::wstring::npos;
    if (outputHasPicture || errorHasPicture) {
        SYSTEMTIME now{};
        GetLocalTime(&now);
        if (outputHasPicture) expandDateTimePattern(app.outputFile, now);
        if (errorHasPicture) expandDateTimePattern(app.errorFile, now);
    }
    // Written plainly before any folder is made: "logs\new\..\out.txt" makes
    // no folder "new", and "/" separates folders as "\" does.
    if (!app.outputFile.empty()) app.outputFile = normalisePath(app.outputFile);
    if (!app.errorFile.empty()) app.errorFile = normalisePath(app.errorFile);

    jobject output = nullptr;
    if (!app.outputFile.empty()) output = redirect(app, app.outputFile, app.outputAppend, JavaStream::Out);
    if (app.errorFile.empty()) return;
    if (output && sameFile(app.outputFile, app.errorFile)) {
        // Two streams on one file would write over each other.
        if (!setJavaStream(app.jniEnv, output, JavaStream::Err) && app.jniEnv->ExceptionCheck())
            app.jniEnv->ExceptionDescribe();
        return;
    }
    redirect(app, app.errorFile, app.errorAppend, JavaStream::Err);
}

}  // namespace vexa
