#include "launcher/LauncherApp.h"

namespace vexa {

void LauncherApp::PrepareLibraryPath() {}

}  // namespace vexa
