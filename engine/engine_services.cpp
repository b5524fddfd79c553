#include "engine/engine_services.h"

#include <unistd.h>

namespace morvane {

void endProcess(SettingsStore& settings, int status) {
    settings.writeAll();
    ::_exit(status);
}

}  // namespace morvane
