#include "engine/engine_services.h"

#include <unistd.h>

#include <charconv>
#include <cstdlib>
#include <string_view>

namespace morvane {

int threadsFromEnvironment() {
    const char* text = std::getenv("MORVANE_THREADS");
    if (text == nullptr) {
        return 0;
    }
    const std::string_view value(text);
    int threads = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), threads);
    const bool valid = error == std::errc() && end == value.data() + value.size();
    return valid && threads >= 0 && threads <= 64 ? threads : 0;
}

void endProcess(SettingsStore& settings, int status) {
    settings.writeAll();
    ::_exit(status);
}

}  // namespace morvane
