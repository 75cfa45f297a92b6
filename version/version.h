// The version line that every program prints for --version.
#pragma once

#include <string>

namespace quillet {

// "PROGRAM VERSION (commit COMMIT)", or "PROGRAM VERSION" without a commit; no line end.
std::string version_text(const std::string& program, const std::string& version,
                         const std::string& commit);

// The line of this build: the project's version, and the commit when it was built from a git
// checkout.
std::string version_text(const std::string& program);

} // namespace quillet
