#include "jre/JreLocator.h"

#include "launcher/LauncherApp.h"

namespace vexa {

bool JreLocator::locate() { return reportNotBuilt(app_, L"search for a Java runtime"); }

std::wstring JreLocator::describeRequirement(const JrePolicy&) { return {}; }

}  // namespace vexa
