// Compares a condition's wanted value with a file's attribute.
#include "condition_verdict.h"

#include "../sdb/sdb_tags.h"

namespace {

// A condition on a bound: the attribute it bounds, and which way.
struct BoundCondition {
    TAG condition;
    TAG attribute;
    bool upper; // at most (UPTO_), else at least (FROM_)
};

const BoundCondition BoundConditions[] = {
    {sdb::TAG_UPTO_BIN_FILE_VERSION, sdb::TAG_BIN_FILE_VERSION, true},
    {sdb::TAG_FROM_BIN_FILE_VERSION, sdb::TAG_BIN_FILE_VERSION, false},
    {sdb::TAG_UPTO_BIN_PRODUCT_VERSION, sdb::TAG_BIN_PRODUCT_VERSION, true},
    {sdb::TAG_FROM_BIN_PRODUCT_VERSION, sdb::TAG_BIN_PRODUCT_VERSION, false},
    {sdb::TAG_UPTO_LINK_DATE, sdb::TAG_LINK_DATE, true},
    {sdb::TAG_FROM_LINK_DATE, sdb::TAG_LINK_DATE, false},
};

const BoundCondition* BoundOf(TAG condition) {
    for (const BoundCondition& bound : BoundConditions) {
        if (bound.condition == condition) {
            return &bound;
        }
    }
    return NULL;
}

bool IsNumber(TAG tag) {
    const TAG type = sdb::tag_type(tag);
    return type == sdb::TAG_TYPE_WORD || type == sdb::TAG_TYPE_DWORD || type == sdb::TAG_TYPE_QWORD;
}

bool IsText(TAG tag) {
    const TAG type = sdb::tag_type(tag);
    return type == sdb::TAG_TYPE_STRINGREF || type == sdb::TAG_TYPE_STRING;
}

// The member a number attribute of this type lives in; an engine that writes only the
// DWORD member leaves the upper half of the union undefined.
ULONGLONG NumberOf(const ATTRINFO& attribute) {
    switch (sdb::tag_type(attribute.tAttrID)) {
    case sdb::TAG_TYPE_WORD:
        return attribute.dwAttr & 0xFFFF;
    case sdb::TAG_TYPE_DWORD:
        return attribute.dwAttr;
    default:
        return attribute.ullAttr;
    }
}

bool SameTextIgnoringCase(const std::wstring& left, const wchar_t* right) {
    const std::wstring other = right;
    return CompareStringOrdinal(left.c_str(), static_cast<int>(left.size()), other.c_str(),
                                static_cast<int>(other.size()), TRUE) == CSTR_EQUAL;
}

} // namespace

TAG AttributeTagOf(TAG condition) {
    const BoundCondition* bound = BoundOf(condition);
    return bound != NULL ? bound->attribute : condition;
}

ConditionVerdict JudgeCondition(TAG condition, const ConditionValue& wanted,
                                const ATTRINFO* attribute) {
    if (!IsNumber(condition) && !IsText(condition)) {
        return ConditionVerdict::UnknownType;
    }
    if (attribute == NULL || (attribute->dwFlags & AttributeAvailable) == 0) {
        return ConditionVerdict::NoAttribute;
    }
    if (IsText(condition) != IsText(attribute->tAttrID) ||
        IsNumber(condition) != IsNumber(attribute->tAttrID)) {
        return ConditionVerdict::UnknownType;
    }
    bool holds = false;
    if (IsText(condition)) {
        holds = attribute->lpAttr != NULL && SameTextIgnoringCase(wanted.text, attribute->lpAttr);
    } else {
        const ULONGLONG actual = NumberOf(*attribute);
        const BoundCondition* bound = BoundOf(condition);
        holds = bound == NULL  ? actual == wanted.number
                : bound->upper ? actual <= wanted.number
                               : actual >= wanted.number;
    }
    return holds ? ConditionVerdict::Holds : ConditionVerdict::Fails;
}
