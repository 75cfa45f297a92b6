// The version line of every program, from the header that the build writes.
#include "version.h"

#include "quillet_version_info.h"

namespace quillet {

std::string version_text(const std::string& program, const std::string& version,
                         const std::string& commit) {
    std::string text = program + " " + version;
    if (!commit.empty()) {
        text += " (commit " + commit + ")";
    }
    return text;
}

std::string version_text(const std::string& program) {
    return version_text(program, QUILLET_VERSION, QUILLET_COMMIT);
}

} // namespace quillet
