#include "jvm/JvmOptions.h"

#include <algorithm>

#include <windows.h>

#include "foundation/CommandLine.h"
#include "foundation/Diagnostics.h"
#include "foundation/Handle.h"
#include "foundation/MessageIds.h"
#include "foundation/PathText.h"
#include "foundation/ProcessView.h"
#include "foundation/StepTiming.h"
#include "foundation/Text.h"
#include "foundation/WinText.h"
#include "jvm/ClassPathText.h"
#include "jvm/ExpandEnvironment.h"
#include "jvm/MemoryOptions.h"
#include "jvm/VmParameters.h"

namespace vexa {
namespace {

const std::wstring kClassPath = L"Class Path";
const std::wstring kApplication = L"Application";
const std::wstring kJre = L"Java Runtime Environment";

MemoryFigures currentMemory() {
    MEMORYSTATUS status{};
    status.dwLength = sizeof(status);
    GlobalMemoryStatus(&status);
    return {static_cast<std::uint64_t>(status.dwTotalPhys), static_cast<std::uint64_t>(status.dwAvailVirtual)};
}

// A file name as a setting gives it, without the blank that the layered
// lookup puts in front of a value it extends.
std::wstring fileSetting(SettingsStore& settings, const std::wstring& key) {
    std::wstring value = settings.readValue(kApplication, key);
    std::size_t begin = value.find_first_not_of(L' ');
    if (begin == std::wstring::npos) return {};
    value = value.substr(begin, value.find_last_not_of(L' ') - begin + 1);
    ExpandEnvironment(value);
    return value;
}

bool isAscii(std::wstring_view text) {
    return std::all_of(text.begin(), text.end(), [](wchar_t c) { return c < 0x80; });
}

// One class-path entry as the runtime will read it: the option reaches the
// runtime in the ANSI code page, so a path that the code page cannot hold
// ("Юрий😀") goes by its short (8.3) name when the volume has one.
std::wstring ansiSafePath(const std::wstring& path) {
    // Plain ASCII is the same in every ANSI code page: no round trip needed.
    if (isAscii(path)) return path;
    if (fromThreadAnsi(toThreadAnsi(path)) == path) return path;
    std::wstring shortPath(path.size() + 1, L'\0');
    DWORD length = GetShortPathNameW(path.c_str(), shortPath.data(), static_cast<DWORD>(shortPath.size()));
    if (length >= shortPath.size()) {
        shortPath.assign(length, L'\0');
        length = GetShortPathNameW(path.c_str(), shortPath.data(), static_cast<DWORD>(shortPath.size()));
    }
    if (length == 0 || length >= shortPath.size()) return path;  // no short name: hand over what there is
    shortPath.resize(length);
    return shortPath;
}

void appendClassPathEntry(std::wstring& accumulator, const std::wstring& path) {
    accumulator += ansiSafePath(path);
    accumulator += L';';
}

// `folder` and `name` as one entry; plain ASCII goes straight in.
void appendClassPathEntry(std::wstring& accumulator, std::wstring_view folder, std::wstring_view name) {
    if (isAscii(folder) && isAscii(name)) {
        accumulator.append(folder).append(name) += L';';
        return;
    }
    std::wstring path(folder);
    path += name;
    appendClassPathEntry(accumulator, path);
}

}  // namespace

Result<JvmLaunchOptions> buildJvmOptions(const LauncherSettings& launcher) {
    LayeredSettingsFile settings = launcher.layered();
    const std::wstring launcherFolder = folderOf(launcher.executable);

    std::wstring classPath;
    std::wstring unmatched;  // the entries that matched no file, for the message
    for (const auto& piece : LauncherSettings::splitList(settings.readValue(kClassPath, kClassPath), L";")) {
        std::wstring entry(TrimClassPathPiece(piece));
        ExpandEnvironment(entry);
        // An empty piece (a stray ";") names no entry.
        if (entry.empty()) continue;
        entry = withBackslashes(entry);  // "/" separates folders as well
        if (ClassifyClassPathEntry(entry) == ClassPathEntryKind::Absolute) {
            appendClassPathEntry(classPath, normalisePath(entry));
        } else {
            const size_t before = classPath.size();
            ExpandClassPathEntry(entry, launcherFolder, classPath);
            if (classPath.size() == before) {
                diag::log(L"class-path entry \"%s\": no file matches it", entry);
                unmatched += (unmatched.empty() ? L"" : L"; ") + entry;
            }
        }
    }

    VEXA_STEP("class-path expansion");
    if (equalsIgnoreCase(settings.readValue(kApplication, L"Embedded Jar"), L"Yes"))
        classPath = ansiSafePath(launcher.executable) + L";" + classPath;
    // No empty entry at the end: a runtime reads one as the current folder.
    if (!classPath.empty() && classPath.back() == L';') classPath.pop_back();

    // Entries were given but none matched: say which, rather than that none was given.
    if (classPath.empty() && !unmatched.empty()) return Failure::of(IDS_CLASS_PATH_NO_MATCH, {unmatched});
    if (classPath.empty()) return Failure::of(IDS_NO_CLASS_PATH);

    JvmLaunchOptions result;
    std::vector<std::wstring>& options = result.options;
    options.push_back(L"-Djava.class.path=" + classPath);
    classPath.clear();
    classPath.shrink_to_fit();
    for (auto& token : SplitVmParameters(settings.readValue(kJre, L"Virtual Machine Parameters"))) {
        ProcessVmParameter(std::move(token), options, result.threadStackSize);
    }
    // References are expanded only now, after the size rules have seen the
    // token as written.
    for (auto& option : options) ExpandEnvironment(option);

    OutputRedirection& output = result.output;
    output.outputFile = fileSetting(settings, L"Output File");
    output.outputAppend = settings.readValue(kApplication, L"Output Append") == L"yes";
    output.errorFile = fileSetting(settings, L"Error File");
    output.errorAppend = settings.readValue(kApplication, L"Error Append") == L"yes";

    result.commandText = settings.readValue(kApplication, L"Cmd");
    if (!result.commandText.empty()) {
        ExpandEnvironment(result.commandText);
        std::vector<std::wstring> pieces;
        SplitArguments(result.commandText, pieces);
        for (auto& piece : pieces) {
            if (!piece.empty()) result.commandArguments.push_back(std::move(piece));
        }
    }
    return result;
}

void ExpandClassPathEntry(const std::wstring& entry, const std::wstring& launcherFolderWithSlash,
                          std::wstring& accumulator) {
    std::wstring launcherFolder;
    if (ClassifyClassPathEntry(entry, false) == ClassPathEntryKind::Relative) {
        // The folder without its "\": a relative entry brings its own.
        launcherFolder = launcherFolderWithSlash;
        if (!launcherFolder.empty()) launcherFolder.pop_back();
    }
    const std::wstring pattern = ClassPathSearchPattern(entry, launcherFolder);
    const std::wstring_view folder = SearchPatternFolder(pattern);

    WIN32_FIND_DATAW found;
    // The basic information leaves out the short names, and the large fetch
    // reads the folder in few calls: the names matched are the same.
    FindHandle search(FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr,
                                       FIND_FIRST_EX_LARGE_FETCH));
    if (!search) return;  // nothing there: the entry drops out
    do {
        const std::wstring_view name = found.cFileName;
        // A pattern such as "\lib\*" also matches the folder itself and its
        // parent; those are no class-path entries.
        if (name == L"." || name == L"..") continue;
        appendClassPathEntry(accumulator, folder, name);
    } while (FindNextFileW(search.get(), &found));
}

void ProcessVmParameter(std::wstring token, std::vector<std::wstring>& options, std::uint64_t& threadStackSize) {
    StripParameterQuotes(token);
    if (IsMemoryPercentageForm(token)) ApplyMemoryPercentage(token, currentMemory());
    if (std::optional<std::uint64_t> stack = StackSizeOfOption(token)) threadStackSize = *stack;
    options.push_back(std::move(token));
}

}  // namespace vexa
