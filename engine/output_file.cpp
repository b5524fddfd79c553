#include "engine/output_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <random>

namespace morvane {
namespace {

// "/out/Holiday.flv" gives "/out/.Holiday.flv." and a random tail.
std::string temporaryPrefix(const std::string& outputPath) {
    const size_t slash = outputPath.rfind('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    return outputPath.substr(0, nameStart) + "." + outputPath.substr(nameStart) + ".";
}

UniqueFd createUnique(const std::string& outputPath, std::string& path) {
    static thread_local std::mt19937_64 random{std::random_device{}()};
    const std::string prefix = temporaryPrefix(outputPath);
    for (int attempt = 0; attempt < 16; ++attempt) {
        char tail[24];
        std::snprintf(tail, sizeof tail, "%012llx.part",
                      static_cast<unsigned long long>(random() & 0xFFFFFFFFFFFFULL));
        path = prefix + tail;
        UniqueFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (fd.valid() || errno != EEXIST) {
            return fd;
        }
    }
    return UniqueFd();
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
    std::string path;
    fd_ = createUnique(outputPath, path);
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
    const bool synced = ::fsync(fd_.get()) == 0;
    return ::close(fd_.release()) == 0 && synced;
}

bool OutputFile::keep() {
    close();
    if (!exists() || ::rename(temporaryPath_.c_str(), outputPath_.c_str()) != 0) {
        return false;
    }
    temporaryPath_.clear();
    return true;
}

bool OutputFile::discard() {
    fd_.reset();
    if (!exists()) {
        return true;
    }
    if (::unlink(temporaryPath_.c_str()) != 0 && errno != ENOENT) {
        return false;
    }
    temporaryPath_.clear();
    return true;
}

bool OutputFile::canCreate(const std::string& outputPath) {
    std::string path;
    UniqueFd fd = createUnique(outputPath, path);
    if (!fd.valid()) {
        return false;
    }
    ::unlink(path.c_str());
    return true;
}

}  // namespace morvane
