// What vexa-pack does with the system: files written exclusively and put in
// place whole, a private folder for intermediate files, and the programs it
// hands work to (osslsigncode, wixl).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "PeResources.h"

namespace vexa::pack {

std::string show(const std::filesystem::path& path);

// Writes `bytes` to a new file beside `target`, created exclusively under a
// name of its own (a file or link planted there is neither followed nor
// overwritten), with the permissions of `permissionsFrom` when it exists;
// then puts it in place of `target`. Throws PackError, leaving `target` as
// it was.
void replaceFile(const std::filesystem::path& target, const Bytes& bytes,
                 const std::filesystem::path& permissionsFrom);

// A new folder beside the file `beside` that only this user can enter; removed with
// what it holds when the object goes.
class PrivateFolder {
public:
    explicit PrivateFolder(const std::filesystem::path& beside);
    ~PrivateFolder();
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Runs `argv` (the program found on the PATH) in `folder` (or the current
// folder when empty) and returns its exit code. Throws PackError when it
// cannot be started, naming the Debian `package` that brings it.
int runProgram(const std::vector<std::string>& argv, const std::string& package,
               const std::filesystem::path& folder = {});

// Random bytes from the system.
void randomBytes(std::uint8_t* out, std::size_t size);

}  // namespace vexa::pack
