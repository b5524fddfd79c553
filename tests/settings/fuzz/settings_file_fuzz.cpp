// libFuzzer target: the fuzzed bytes as the settings file. It is loaded and validated as at a
// start, written back, and loaded again: any crash, sanitizer report or leak is a finding, and
// so is a value that does not survive the round trip, a foreign line that is lost, or a
// validation that leaves a number out of its rules.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "settings/profiles.h"
#include "settings/setting_keys.h"
#include "settings/settings_file.h"
#include "settings/settings_file_format.h"
#include "settings/settings_rules.h"
#include "settings/settings_store.h"

namespace {

// In memory where the machine has it: every save flushes the file and its folder.
const std::filesystem::path& settingsPath() {
    static const std::filesystem::path path =
        std::filesystem::path(std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp") /
        ("morvane-settings-fuzz-" + std::to_string(::getpid()) + ".reg");
    return path;
}

std::string readAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void require(bool holds) {
    if (!holds) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string content(reinterpret_cast<const char*>(data), size);
    // A line written back reads as the value it was made from.
    size_t start = 0;
    while (start <= content.size()) {
        const size_t end = std::min(content.find('\n', start), content.size());
        const morvane::SettingsLine line =
            morvane::parseSettingsLine(std::string_view(content).substr(start, end - start));
        if (line.kind == morvane::SettingsLine::Kind::Value) {
            const morvane::SettingsLine again =
                morvane::parseSettingsLine(morvane::formatSettingsLine(*line.name, line.value));
            require(again.kind == line.kind && again.name == line.name &&
                    again.value == line.value);
        }
        start = end + 1;
    }

    {
        std::ofstream out(settingsPath(), std::ios::binary | std::ios::trunc);
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
    }
    std::string written;
    {
        morvane::SettingsStore store(
            std::make_unique<morvane::FileSettingsBacking>(settingsPath()));
        morvane::loadAndValidate(store);
        require(morvane::isValidSizeMode(store.getNumber(morvane::keys::kSizeMode)));
        require(morvane::ProfileTable::isValidIndex(store.getNumber(morvane::keys::kProfile)));
        const int32_t codec = store.getNumber(morvane::keys::kCodec);
        require(codec >= 0 && codec < morvane::kCodecCount);
        store.writeAll();
        written = readAll(settingsPath());
    }
    // What was written loads as it was, and writes the same bytes again.
    {
        morvane::SettingsStore store(
            std::make_unique<morvane::FileSettingsBacking>(settingsPath()));
        store.writeAll();
        require(readAll(settingsPath()) == written);
    }
    std::filesystem::remove(settingsPath());
    return 0;
}
