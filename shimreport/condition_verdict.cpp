// Compares a condition's wanted value with a file's attribute.
#include "condition_verdict.h"

#include "../sdb/sdb_tags.h"

namespace {

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
    const sdb::BoundCondition* bound = sdb::bound_condition(condition);
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
        const sdb::BoundCondition* bound = sdb::bound_condition(condition);
        holds = bound == NULL  ? actual == wanted.number
                : bound->upper ? actual <= wanted.number
                               : actual >= wanted.number;
    }
    return holds ? ConditionVerdict::Holds : ConditionVerdict::Fails;
}
