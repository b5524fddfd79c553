#include "tests/support/source_tree.h"

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>

#include "tests/support/media_writer.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;

namespace morvane::test {
namespace {

constexpr uint32_t kReadOverrides = (1U << CAP_DAC_OVERRIDE) | (1U << CAP_DAC_READ_SEARCH);

bool changeEffective(bool keep) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (::syscall(SYS_capget, &header, data) != 0) {
        return false;
    }
    data[0].effective = keep ? data[0].effective | (data[0].permitted & kReadOverrides)
                             : data[0].effective & ~kReadOverrides;
    return ::syscall(SYS_capset, &header, data) == 0;
}

}  // namespace

SourceTree::SourceTree(const fs::path& where)
    : root(where / "tree"), destination(root / "out"), locked(root / "locked") {
    for (const fs::path& folder :
         {root / "one" / "two" / "three", root / "only-flv", locked, destination}) {
        fs::create_directories(folder);
    }
    const ClipRecipe brief{.width = 160, .height = 120, .seconds = 0.4};
    for (const fs::path& clip :
         {root / "a.mkv", root / "one" / "b.mkv", root / "one" / "two" / "c.mkv",
          root / "one" / "two" / "three" / "d.mkv", locked / "f.mkv", destination / "g.mkv"}) {
        writeClip(clip, brief);
    }
    writeFile(root / "old.flv", "an output of some earlier run");
    writeFile(root / "only-flv" / "e.flv", "an output of some earlier run");
    fs::create_directory_symlink(root, root / "one" / "two" / "up");
    fs::permissions(locked, fs::perms::none);
}

SourceTree::~SourceTree() {
    std::error_code error;
    fs::permissions(locked, fs::perms::owner_all, error);
}

std::vector<std::string> SourceTree::expectedOutputs(const std::string& ending) {
    return {"a" + ending,    "g.mkv",
            "one",           "one/b" + ending,
            "one/two",       "one/two/c" + ending,
            "one/two/three", "one/two/three/d" + ending};
}

std::vector<std::string> treeOf(const fs::path& folder) {
    std::vector<std::string> found;
    std::error_code error;
    for (auto entry = fs::recursive_directory_iterator(folder, error);
         entry != fs::recursive_directory_iterator(); entry.increment(error)) {
        found.push_back(fs::relative(entry->path(), folder).string());
    }
    std::sort(found.begin(), found.end());
    return found;
}

WithoutReadOverride::WithoutReadOverride() : dropped_(::geteuid() == 0 && changeEffective(false)) {}

WithoutReadOverride::~WithoutReadOverride() {
    if (dropped_) {
        changeEffective(true);
    }
}

}  // namespace morvane::test
