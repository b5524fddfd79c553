#include "settings/settings_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <set>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "platform/unique_fd.h"
#include "settings/settings_file_format.h"

namespace morvane {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// The file's lines without their line feeds; a byte-order mark is kept apart.
struct FileText {
    bool byteOrderMark = false;
    std::vector<std::string> lines;
};

FileText splitLines(std::string_view content) {
    FileText text;
    if (content.starts_with(kByteOrderMark)) {
        text.byteOrderMark = true;
        content.remove_prefix(kByteOrderMark.size());
    }
    while (!content.empty()) {
        const size_t end = content.find('\n');
        text.lines.emplace_back(content.substr(0, end));
        if (end == std::string_view::npos) {
            break;
        }
        content.remove_prefix(end + 1);
    }
    return text;
}

// Reads the whole file; nullopt when it cannot be read (errno tells why).
std::optional<std::string> readFile(const std::filesystem::path& path) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) {
        return std::nullopt;
    }
    std::string content;
    char buffer[16384];
    for (;;) {
        const ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return std::nullopt;
        }
        if (got == 0) {
            return content;
        }
        content.append(buffer, static_cast<size_t>(got));
    }
}

bool makeDirectories(const std::filesystem::path& directory) {
    std::filesystem::path partial;
    for (const auto& part : directory) {
        partial /= part;
        if (::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) {
            return false;
        }
    }
    struct stat info {};
    return ::stat(directory.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

using PendingValues = std::vector<std::pair<std::string, SettingValue>>;

// The new file text: each pending value replaces the first line of its name (later lines of
// that name go, as a name holds one value); values not yet in the file are appended in the
// order they were set; every other line stays as it is.
std::string mergedText(const FileText& current, const PendingValues& pending) {
    std::set<std::string, std::less<>> written;
    auto pendingValue = [&](std::string_view name) -> const SettingValue* {
        for (const auto& [pendingName, value] : pending) {
            if (pendingName == name) {
                return &value;
            }
        }
        return nullptr;
    };

    std::string out;
    if (current.byteOrderMark) {
        out += kByteOrderMark;
    }
    for (const std::string& line : current.lines) {
        const SettingsLine parsed = parseSettingsLine(line);
        const SettingValue* replacement = parsed.name ? pendingValue(*parsed.name) : nullptr;
        if (replacement == nullptr) {
            out += line;
            out += '\n';
        } else if (written.insert(*parsed.name).second) {
            out += formatSettingsLine(*parsed.name, *replacement);
            out += '\n';
        }
    }
    for (const auto& [name, value] : pending) {
        if (!written.contains(name)) {
            out += formatSettingsLine(name, value);
            out += '\n';
        }
    }
    return out;
}

std::filesystem::path resolvedTarget(const std::filesystem::path& path) {
    std::error_code error;
    if (std::filesystem::is_symlink(path, error)) {
        const std::filesystem::path target = std::filesystem::canonical(path, error);
        if (!error) {
            return target;
        }
    }
    return path;
}

bool replaceFileAtomically(const std::filesystem::path& path, const PendingValues& pending) {
    const std::filesystem::path target = resolvedTarget(path);
    const std::filesystem::path folder =
        target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    UniqueFd folderFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folderFd.valid()) {
        return false;
    }
    while (::flock(folderFd.get(), LOCK_EX) != 0) {
        if (errno != EINTR) {
            return false;
        }
    }

    // Read again under the lock, so that a concurrent writer's lines are not lost.
    FileText current;
    if (std::optional<std::string> content = readFile(target)) {
        current = splitLines(*content);
    } else if (errno != ENOENT) {
        return false;
    }
    const std::string text = mergedText(current, pending);

    mode_t mode = 0600;
    struct stat info {};
    if (::stat(target.c_str(), &info) == 0) {
        mode = info.st_mode & 07777;
    }
    std::string temporaryName = target.string() + ".XXXXXX";
    UniqueFd temporary(::mkstemp(temporaryName.data()));
    if (!temporary.valid()) {
        return false;
    }
    const bool written = ::fchmod(temporary.get(), mode) == 0 &&
                         writeAll(temporary.get(), text.data(), text.size()) &&
                         ::fsync(temporary.get()) == 0 && ::close(temporary.release()) == 0;
    if (!written || ::rename(temporaryName.c_str(), target.c_str()) != 0) {
        ::unlink(temporaryName.c_str());
        return false;
    }
    ::fsync(folderFd.get());
    return true;
}

class FileSettingsKey final : public SettingsKey {
public:
    FileSettingsKey(std::filesystem::path path, FileText text)
        : path_(std::move(path)), text_(std::move(text)) {}

    std::vector<StoredValue> values() override {
        std::vector<StoredValue> values;
        for (const std::string& line : text_.lines) {
            SettingsLine parsed = parseSettingsLine(line);
            if (parsed.kind == SettingsLine::Kind::Value) {
                values.push_back({std::move(*parsed.name), std::move(parsed.value)});
            } else if (parsed.kind == SettingsLine::Kind::OtherType) {
                values.push_back({std::move(*parsed.name), std::nullopt});
            }
        }
        return values;
    }

    void setValue(std::string_view name, const SettingValue& value) override {
        for (auto& [pendingName, pendingValue] : pending_) {
            if (pendingName == name) {
                pendingValue = value;
                return;
            }
        }
        pending_.emplace_back(std::string(name), value);
    }

    bool close() override {
        if (pending_.empty()) {
            return true;
        }
        const bool stored = replaceFileAtomically(path_, pending_);
        pending_.clear();
        return stored;
    }

private:
    std::filesystem::path path_;
    FileText text_;
    PendingValues pending_;
};

}  // namespace

FileSettingsBacking::FileSettingsBacking(std::filesystem::path path) : path_(std::move(path)) {}

std::unique_ptr<SettingsKey> FileSettingsBacking::openOrCreate(bool& created) {
    created = false;
    if (path_.empty()) {
        return nullptr;
    }
    if (std::optional<std::string> content = readFile(path_)) {
        return std::make_unique<FileSettingsKey>(path_, splitLines(*content));
    }
    if (errno != ENOENT || !path_.has_parent_path() || !makeDirectories(path_.parent_path())) {
        return nullptr;
    }
    UniqueFd fd(::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (fd.valid()) {
        created = true;
        return std::make_unique<FileSettingsKey>(path_, FileText{});
    }
    if (errno == EEXIST) {
        if (std::optional<std::string> content = readFile(path_)) {
            return std::make_unique<FileSettingsKey>(path_, splitLines(*content));
        }
    }
    return nullptr;
}

}  // namespace morvane
