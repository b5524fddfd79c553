#include "engine/output_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <random>

namespace morvane {
namespace {

std::string folderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// "/out/Holiday.flv" gives "/out/.Holiday.flv.<12 random hex digits>.part", which a walk of the
// folder knows as an output being written (isTemporaryOutputName).
std::string hiddenName(const std::string& outputPath) {
    static thread_local std::mt19937_64 random{std::random_device{}()};
    const size_t slash = outputPath.rfind('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    char tail[24];
    std::snprintf(tail, sizeof tail, "%012llx.part",
                  static_cast<unsigned long long>(random() & 0xFFFFFFFFFFFFULL));
    return outputPath.substr(0, nameStart) + "." + outputPath.substr(nameStart) + "." + tail;
}

constexpr int kNameAttempts = 16;

UniqueFd createNamed(const std::string& outputPath, std::string& path) {
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        path = hiddenName(outputPath);
        UniqueFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (fd.valid() || errno != EEXIST) {
            return fd;
        }
    }
    return UniqueFd();
}

// An unnamed file in the folder, and the path by which it can be opened again; none where the
// file system or /proc does not allow it.
UniqueFd createUnnamed(const std::string& outputPath, std::string& path) {
    UniqueFd fd(::open(folderOf(outputPath).c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666));
    if (!fd.valid()) {
        return fd;
    }
    path = "/proc/self/fd/" + std::to_string(fd.get());
    if (::access(path.c_str(), R_OK | W_OK) != 0) {
        return UniqueFd();
    }
    return fd;
}

void flushFolder(const std::string& path) {
    const UniqueFd folder(::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.valid()) {
        ::fsync(folder.get());
    }
}

}  // namespace

OutputFile::~OutputFile() {
    if (exists()) {
        discard();
    }
}

bool OutputFile::create(const std::string& outputPath) {
    if (exists()) {
        discard();
    }
    outputPath_ = outputPath;
    flushed_ = false;
    std::string path;
    fd_ = createUnnamed(outputPath, path);
    unnamed_ = fd_.valid();
    if (!unnamed_) {
        fd_ = createNamed(outputPath, path);
    }
    if (!fd_.valid()) {
        return false;
    }
    temporaryPath_ = path;
    return true;
}

bool OutputFile::close() {
    if (!fd_.valid()) {
        return true;
    }
    if (unnamed_) {
        flushed_ = flushed_ || ::fdatasync(fd_.get()) == 0;
        return flushed_;
    }
    const bool flushed = ::fdatasync(fd_.get()) == 0;
    return ::close(fd_.release()) == 0 && flushed;
}

bool OutputFile::keep() {
    if (!exists() || !close()) {
        return false;
    }
    if (unnamed_) {
        return keepUnnamed();
    }
    if (::rename(temporaryPath_.c_str(), outputPath_.c_str()) != 0) {
        return false;
    }
    temporaryPath_.clear();
    flushFolder(outputPath_);
    return true;
}

bool OutputFile::keepUnnamed() {
    // A name of its own first: linkat cannot replace a file; rename then does, at once.
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::string hidden = hiddenName(outputPath_);
        if (::linkat(AT_FDCWD, temporaryPath_.c_str(), AT_FDCWD, hidden.c_str(),
                     AT_SYMLINK_FOLLOW) != 0) {
            if (errno == EEXIST) {
                continue;
            }
            return false;
        }
        if (::rename(hidden.c_str(), outputPath_.c_str()) != 0) {
            ::unlink(hidden.c_str());
            return false;
        }
        fd_.reset();
        unnamed_ = false;
        temporaryPath_.clear();
        flushFolder(outputPath_);
        return true;
    }
    return false;
}

bool OutputFile::discard() {
    fd_.reset();
    if (!exists()) {
        return true;
    }
    if (!unnamed_ && ::unlink(temporaryPath_.c_str()) != 0 && errno != ENOENT) {
        return false;
    }
    unnamed_ = false;
    temporaryPath_.clear();
    return true;
}

bool OutputFile::canCreate(const std::string& outputPath) {
    std::string path;
    if (createUnnamed(outputPath, path).valid()) {
        return true;
    }
    const UniqueFd fd = createNamed(outputPath, path);
    if (!fd.valid()) {
        return false;
    }
    ::unlink(path.c_str());
    return true;
}

}  // namespace morvane
