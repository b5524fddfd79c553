#include "engine/engine_services.h"

#include <unistd.h>

#include "platform/executable_path.h"

namespace morvane {

std::filesystem::path defaultWatermarkPath() {
    return executableDirectory() / "watermark.png";
}

void endProcess(SettingsStore& settings, int status) {
    settings.writeAll();
    ::_exit(status);
}

}  // namespace morvane
