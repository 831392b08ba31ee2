// The installer vexa-pack builds: the WiX source that wixl turns into an MSI
// package. Free of the platform API.
#pragma once

#include <string>
#include <vector>

#include "PeResources.h"

namespace vexa::pack {

struct InstallerPlan {
    std::string productName;
    std::string manufacturer;
    std::string version;      // X.Y.Z, each number within an MSI's limits
    std::string upgradeCode;  // a GUID; made from the name and manufacturer when empty
    bool perUser = false;
    bool x64 = true;
    std::string exe;                       // the launcher, relative to the application folder
    std::string iconFile;                  // an .ico file as wixl finds it, or empty (the launcher's icon)
    std::vector<std::string> files;        // every file of the folder, relative, '/' separated
    std::vector<std::string> associations; // ".ext"
};

// Throws PackError when a field cannot go into an MSI package (version,
// GUID, extension, the launcher not among the files).
void checkInstaller(InstallerPlan& plan);

// The WiX source; `sourceRoot` is the application folder as wixl finds it
// (wixl takes paths relative to the source file).
std::string installerSource(const InstallerPlan& plan, const std::string& sourceRoot);

// A GUID made from `text`: the same text always gives the same GUID.
std::string guidOf(const std::string& text);

}  // namespace vexa::pack
