// Where the Java output streams go: "Output File" and "Error File".
#include <optional>

#include "foundation/Handle.h"
#include "foundation/MessageIds.h"
#include "foundation/PathText.h"
#include "foundation/ProcessView.h"
#include "foundation/Text.h"
#include "jvm/JvmHost.h"

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

// Whether two names reach one file: the same full path, or, for a file that
// exists, the same file under another name (a short name, a link).
bool sameFile(const std::wstring& a, const std::wstring& b) {
    return samePathText(fullPathOf(a), fullPathOf(b)) || isSameFile(a, b);
}

// Opens `path` for `target`; the print stream, or null when the stream keeps
// its target. A path in `refused` is told about in `failures`.
jobject redirect(JNIEnv* env, const std::wstring& path, bool append, JavaStream target,
                 const std::vector<std::wstring>& refused, std::vector<Failure>& failures) {
    for (const std::wstring& own : refused) {
        if (!own.empty() && sameFile(path, own)) {
            failures.push_back(Failure::of(IDS_OUTPUT_IS_LAUNCHER_FILE, {path}));
            return nullptr;
        }
    }
    createParentFolders(path);  // when that fails, opening the file fails below
    jobject printStream = openPrintStream(env, path, append);
    if (printStream && setJavaStream(env, printStream, target)) return printStream;
    if (env->ExceptionCheck()) env->ExceptionDescribe();
    return nullptr;
}

}  // namespace

std::vector<Failure> redirectOutputFiles(JNIEnv* env, OutputRedirection& output,
                                         const std::vector<std::wstring>& refused) {
    std::vector<Failure> failures;
    // Both names are formatted from the same instant.
    const bool outputHasPicture = output.outputFile.find(L'%') != std::wstring::npos;
    const bool errorHasPicture = output.errorFile.find(L'%') != std::wstring::npos;
    if (outputHasPicture || errorHasPicture) {
        SYSTEMTIME now{};
        GetLocalTime(&now);
        if (outputHasPicture) expandDateTimePattern(output.outputFile, now);
        if (errorHasPicture) expandDateTimePattern(output.errorFile, now);
    }
    // Written plainly before any folder is made: "logs\new\..\out.txt" makes
    // no folder "new", and "/" separates folders as "\" does.
    if (!output.outputFile.empty()) output.outputFile = normalisePath(output.outputFile);
    if (!output.errorFile.empty()) output.errorFile = normalisePath(output.errorFile);

    jobject out = nullptr;
    if (!output.outputFile.empty())
        out = redirect(env, output.outputFile, output.outputAppend, JavaStream::Out, refused, failures);
    if (output.errorFile.empty()) return failures;
    if (out && sameFile(output.outputFile, output.errorFile)) {
        // Two streams on one file would write over each other.
        if (!setJavaStream(env, out, JavaStream::Err) && env->ExceptionCheck()) env->ExceptionDescribe();
        return failures;
    }
    redirect(env, output.errorFile, output.errorAppend, JavaStream::Err, refused, failures);
    return failures;
}

}  // namespace vexa
