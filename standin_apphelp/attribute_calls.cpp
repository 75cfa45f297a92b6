// The engine's file-attribute calls: collect, free and format.
#include "apphelp_exports.h"

#include "recent_attributes.h"

#include "sdb_tags.h"

#include <cstring>
#include <cwchar>
#include <memory>
#include <string>

namespace {

// The 28 attributes SdbGetFileAttributes reports from Windows 7 on, in this order.
const TAG ReportedTags[] = {
    sdb::TAG_SIZE,
    sdb::TAG_CHECKSUM,
    sdb::TAG_BIN_FILE_VERSION,
    sdb::TAG_BIN_PRODUCT_VERSION,
    sdb::TAG_PRODUCT_VERSION,
    sdb::TAG_FILE_DESCRIPTION,
    sdb::TAG_COMPANY_NAME,
    sdb::TAG_PRODUCT_NAME,
    sdb::TAG_FILE_VERSION,
    sdb::TAG_ORIGINAL_FILENAME,
    sdb::TAG_INTERNAL_NAME,
    sdb::TAG_LEGAL_COPYRIGHT,
    sdb::TAG_VERDATEHI,
    sdb::TAG_VERDATELO,
    sdb::TAG_VERFILEOS,
    sdb::TAG_VERFILETYPE,
    sdb::TAG_MODULE_TYPE,
    sdb::TAG_PE_CHECKSUM,
    sdb::TAG_LINKER_VERSION,
    sdb::TAG_16BIT_DESCRIPTION,
    sdb::TAG_16BIT_MODULE_NAME,
    sdb::TAG_UPTO_BIN_FILE_VERSION,
    sdb::TAG_UPTO_BIN_PRODUCT_VERSION,
    sdb::TAG_LINK_DATE,
    sdb::TAG_UPTO_LINK_DATE,
    sdb::TAG_EXPORT_NAME,
    sdb::TAG_VER_LANGUAGE,
    sdb::TAG_EXE_WRAPPER,
};
const DWORD ReportedCount = sizeof ReportedTags / sizeof ReportedTags[0];

bool IsStringTag(TAG tag) {
    TAG type = sdb::tag_type(tag);
    return type == sdb::TAG_TYPE_STRINGREF || type == sdb::TAG_TYPE_STRING;
}

WCHAR* CopyText(const std::u16string& text) {
    WCHAR* copy = new WCHAR[text.size() + 1];
    std::memcpy(copy, text.c_str(), (text.size() + 1) * sizeof(WCHAR));
    return copy;
}

} // namespace

// The array ends with an entry of tag 0, which SdbFreeFileAttributes relies on.
BOOL WINAPI SdbGetFileAttributes(LPCWSTR path, PATTRINFO* attributes, LPDWORD count) {
    if (path == nullptr || attributes == nullptr)
        return FALSE;
    return GuardedCall(FALSE, [&]() -> BOOL {
        FileAttributes found;
        if (!RecentFileAttributes(path, found))
            return FALSE;
        std::unique_ptr<ATTRINFO[]> items(new ATTRINFO[ReportedCount + 1]());
        for (DWORD i = 0; i < ReportedCount; ++i) {
            TAG tag = ReportedTags[i];
            items[i].tAttrID = tag;
            if (IsStringTag(tag)) {
                auto text = found.strings.find(tag);
                if (text != found.strings.end()) {
                    items[i].lpAttr = CopyText(text->second);
                    items[i].dwFlags = ATTRIBUTE_AVAILABLE;
                }
            } else {
                auto number = found.numbers.find(tag);
                if (number != found.numbers.end()) {
                    items[i].ullAttr = number->second;
                    items[i].dwFlags = ATTRIBUTE_AVAILABLE;
                }
            }
        }
        *attributes = items.release();
        if (count != nullptr)
            *count = ReportedCount;
        return TRUE;
    });
}

BOOL WINAPI SdbFreeFileAttributes(PATTRINFO attributes) {
    if (attributes == nullptr)
        return FALSE;
    for (PATTRINFO item = attributes; item->tAttrID != 0; ++item) {
        if (IsStringTag(item->tAttrID) && (item->dwFlags & ATTRIBUTE_AVAILABLE))
            delete[] item->lpAttr;
    }
    delete[] attributes;
    return TRUE;
}

// NAME="text" for strings, NAME=0xHEX for numbers; false when unavailable or too long.
BOOL WINAPI SdbFormatAttribute(PATTRINFO attribute, LPWSTR buffer, DWORD length) {
    if (attribute == nullptr || buffer == nullptr || !(attribute->dwFlags & ATTRIBUTE_AVAILABLE))
        return FALSE;
    const char* name = sdb::tag_name(attribute->tAttrID);
    if (name == nullptr)
        return FALSE;
    return GuardedCall(FALSE, [&]() -> BOOL {
        std::wstring text(name, name + std::strlen(name));
        if (IsStringTag(attribute->tAttrID)) {
            text += L"=\"";
            text += attribute->lpAttr;
            text += L"\"";
        } else {
            wchar_t number[24];
            std::swprintf(number, 24, L"=0x%llX", attribute->ullAttr);
            text += number;
        }
        if (text.size() >= length)
            return FALSE;
        std::memcpy(buffer, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
        return TRUE;
    });
}
