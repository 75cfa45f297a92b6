// The JSON field of an explanation, from the same typed records as its text.
#pragma once

#include <nlohmann/json.hpp>

#include "../shimreport/explanation.h"

// The "explain" field of a file or process object (docs/cli-json.md).
nlohmann::json ExplanationFields(const Explanation& explanation);
