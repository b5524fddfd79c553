#pragma once

#include <string>
#include <vector>

namespace morvane {

// The files that several sources give, in order: each file source, and the files directly
// inside each folder source, each output named after its source's base name in one folder.
// `error` names the first source that is missing, or two sources that would write the same
// output name; then there are no files.
struct SourcePlan {
    std::vector<std::string> files;
    std::string error;
};
SourcePlan planSources(const std::vector<std::string>& sources);

}  // namespace morvane
