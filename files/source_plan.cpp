#include "files/source_plan.h"

#include <filesystem>
#include <map>

#include "files/output_paths.h"
#include "files/source_folder.h"

namespace morvane {

SourcePlan planSources(const std::vector<std::string>& sources) {
    SourcePlan plan;
    std::map<std::string, std::string> sourceOfOutput;
    for (const std::string& source : sources) {
        std::error_code error;
        if (!std::filesystem::exists(source, error)) {
            return {{}, "cannot find '" + source + "'"};
        }
        std::vector<std::string> files;
        if (std::filesystem::is_directory(source, error)) {
            files = listSourceFolder(source);
        } else {
            files.push_back(source);
        }
        for (std::string& file : files) {
            const std::string output = defaultDestinationFile(file);
            const auto [taken, added] = sourceOfOutput.emplace(output, file);
            if (!added) {
                return {{},
                        "'" + taken->second + "' and '" + file + "' would both write " + output};
            }
            plan.files.push_back(std::move(file));
        }
    }
    return plan;
}

}  // namespace morvane
