#include "launcher/Diagnostics.h"

#include "foundation/DiagnosticsLog.h"
#include "launcher/LauncherApp.h"

namespace vexa::diag {

DiagnosticsLog* active() noexcept {
    LauncherApp* app = LauncherApp::current();
    return app && app->diagnostics.isOpen() ? &app->diagnostics : nullptr;
}

void write(DiagnosticsLog& log, std::wstring_view format, const std::vector<MessageInsert>& inserts) {
    log.write(formatMessage(format, inserts));
}

}  // namespace vexa::diag
