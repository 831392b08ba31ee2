#include "Shipping.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <random>

#ifdef _WIN32
#include <windows.h>

#include "foundation/Handle.h"
#else
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

namespace vexa::pack {
namespace fs = std::filesystem;

namespace {

std::string hex(const std::uint8_t* bytes, std::size_t size) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < size; ++i) {
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 15];
    }
    return out;
}

// Creates `path` only if no file or link of that name exists, and writes
// `bytes` to it. False when the name is taken; throws PackError on any other
// failure (the partial file removed).
bool writeExclusive(const fs::path& path, const Bytes& bytes, const fs::path& permissionsFrom) {
#ifdef _WIN32
    (void)permissionsFrom;
    UniqueHandle<FileHandleTraits> file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        if (GetLastError() == ERROR_FILE_EXISTS || GetLastError() == ERROR_ALREADY_EXISTS) return false;
        throw PackError("cannot write " + show(path));
    }
    std::size_t done = 0;
    bool ok = true;
    while (ok && done < bytes.size()) {
        DWORD written = 0;
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        ok = WriteFile(file.get(), bytes.data() + done, chunk, &written, nullptr) && written > 0;
        done += written;
    }
    file.reset();
#else
    struct stat from {};
    mode_t mode = 0;
    if (stat(permissionsFrom.c_str(), &from) == 0) {
        mode = from.st_mode & 07777;
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        if (errno == EEXIST) return false;
        throw PackError("cannot write " + show(path) + ": " + std::strerror(errno));
    }
    std::size_t done = 0;
    bool ok = true;
    while (ok && done < bytes.size()) {
        const ssize_t written = write(fd, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR) continue;
        ok = written > 0;
        if (ok) done += static_cast<std::size_t>(written);
    }
    ok = ok && fchmod(fd, mode) == 0 && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
#endif
    if (!ok) {
        std::error_code ignored;
        fs::remove(path, ignored);
        throw PackError("cannot write " + show(path));
    }
    return true;
}

}  // namespace

std::string show(const fs::path& path) {
    auto u8 = path.u8string();
    return std::string(u8.begin(), u8.end());
}

void randomBytes(std::uint8_t* out, std::size_t size) {
#ifdef _WIN32
    std::random_device random;  // the system's cryptographic generator
    for (std::size_t i = 0; i < size; ++i) out[i] = static_cast<std::uint8_t>(random());
#else
    std::ifstream random("/dev/urandom", std::ios::binary);
    if (!random.read(reinterpret_cast<char*>(out), static_cast<std::streamsize>(size)))
        throw PackError("cannot obtain random numbers from the system");
#endif
}

void replaceFile(const fs::path& target, const Bytes& bytes, const fs::path& permissionsFrom) {
    fs::path temporary;
    for (int attempt = 0;; ++attempt) {
        std::uint8_t tag[8];
        randomBytes(tag, sizeof tag);
        temporary = target;
        temporary += ".vexa-pack-" + hex(tag, sizeof tag) + ".tmp";
        if (writeExclusive(temporary, bytes, permissionsFrom)) break;
        if (attempt == 16) throw PackError("cannot write a new file beside " + show(target));
    }
    std::error_code error;
    fs::rename(temporary, target, error);
    if (error) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        throw PackError("cannot replace " + show(target) + ": " + error.message());
    }
}

PrivateFolder::PrivateFolder(const fs::path& beside) {
#ifdef _WIN32
    for (int attempt = 0;; ++attempt) {
        std::uint8_t tag[8];
        randomBytes(tag, sizeof tag);
        path_ = beside;
        path_ += ".vexa-pack-" + hex(tag, sizeof tag);
        if (CreateDirectoryW(path_.c_str(), nullptr)) return;
        if (GetLastError() != ERROR_ALREADY_EXISTS || attempt == 16)
            throw PackError("cannot make a folder beside " + show(beside));
    }
#else
    std::string pattern = show(beside) + ".vexa-pack-XXXXXX";
    if (!mkdtemp(pattern.data())) throw PackError("cannot make a folder beside " + show(beside) + ": " + std::strerror(errno));
    path_ = pattern;
#endif
}

PrivateFolder::~PrivateFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

int runProgram(const std::vector<std::string>& argv, const std::string& package, const fs::path& folder) {
#ifdef _WIN32
    (void)argv;
    (void)folder;
    throw PackError("this command runs on Linux: it needs " + package + "'s programs");
#else
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    pid_t child = 0;
    const int started = posix_spawnp(&child, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0)
        throw PackError("cannot run " + argv[0] + " (" + std::strerror(started) + "): install the Debian package " +
                        package);
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) throw PackError("lost " + argv[0] + ": " + std::strerror(errno));
    }
    if (WIFEXITED(status)) {
        if (WEXITSTATUS(status) == 127) throw PackError("cannot run " + argv[0] + ": install the Debian package " + package);
        return WEXITSTATUS(status);
    }
    return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
#endif
}

}  // namespace vexa::pack
