// The values that steer the search for a Java runtime. Free of the platform API.
#pragma once

#include <string>
#include <vector>

#include "foundation/JavaVersion.h"

namespace vexa {

enum class JvmType {
    Default,      // any JVM library; client-type libraries first
    Server,       // only a server JVM library
    FavorServer,  // a server JVM library first, any other accepted
};

struct JrePolicy {
    JvmType jvmType = JvmType::Default;
    bool bothSources = true;
    bool jdkSource = false;
    bool jreSource = false;
    bool sunAllowed = true;
    bool sunFavoured = true;
    bool jrockitAllowed = false;
    bool jrockitFavoured = false;
    bool ibmAllowed = false;
    bool ibmFavoured = false;
    JavaVersion minVersion;
    JavaVersion maxVersion;
    std::vector<std::wstring> preferredVersions;
    // After the registry families: JAVA_HOME, the vendor keys of today's
    // distributions and their folders under %ProgramFiles%.
    bool searchCommonLocations = true;
};

}  // namespace vexa
