// Finds the JVM library of an installed Java runtime.
#pragma once

#include <string>

#include "jre/JrePolicy.h"

namespace vexa {

class LauncherApp;

class JreLocator {
public:
    explicit JreLocator(LauncherApp& app) : app_(app) {}

    // Runs the search; fills jvmLibraryPath (and runPairProduct) of the launcher.
    bool locate();

    // The version phrase of the "JRE Not Found" message.
    static std::wstring describeRequirement(const JrePolicy& policy);

private:
    LauncherApp& app_;
};

}  // namespace vexa
