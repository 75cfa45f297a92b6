// The verdict on one MATCHING_FILE condition against the attribute the engine handed over.
#pragma once

#include <windows.h>

#include <string>

#include "explanation.h"
#include "shim_types.h"

// The value a database gives for a condition: a number for WORD, DWORD and QWORD tags, a text
// for string tags.
struct ConditionValue {
    ULONGLONG number;
    std::wstring text;
};

// The attribute tag a condition compares with: a bound (UPTO_ or FROM_) names the attribute it
// bounds, any other condition its own tag.
TAG AttributeTagOf(TAG condition);

// Compares the wanted value with the attribute as the engine matches: numbers exactly, texts
// without case, UPTO_ bounds as at most and FROM_ bounds as at least. The attribute is null
// when the engine gave none of that tag. Reads the attribute's member that its tag's type names.
ConditionVerdict JudgeCondition(TAG condition, const ConditionValue& wanted,
                                const ATTRINFO* attribute);
