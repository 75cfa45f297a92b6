// Collects a file's version resource attributes through the platform's version calls.
#include "version_attributes.h"

#include "version_block.h"

#include <windows.h>

#include <cwchar>
#include <vector>

namespace {

struct VersionString {
    std::uint16_t tag;
    const wchar_t* name;
};

const VersionString VersionStrings[] = {
    {sdb::TAG_PRODUCT_VERSION, L"ProductVersion"},
    {sdb::TAG_FILE_DESCRIPTION, L"FileDescription"},
    {sdb::TAG_COMPANY_NAME, L"CompanyName"},
    {sdb::TAG_PRODUCT_NAME, L"ProductName"},
    {sdb::TAG_FILE_VERSION, L"FileVersion"},
    {sdb::TAG_ORIGINAL_FILENAME, L"OriginalFilename"},
    {sdb::TAG_INTERNAL_NAME, L"InternalName"},
    {sdb::TAG_LEGAL_COPYRIGHT, L"LegalCopyright"},
};

void AddFixedInfo(void* block, FileAttributes& attributes) {
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block, L"\\", &value, &length) || length < sizeof(VS_FIXEDFILEINFO))
        return;
    const VS_FIXEDFILEINFO* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    if (fixed->dwSignature != 0xFEEF04BD)
        return;
    attributes.numbers[sdb::TAG_BIN_FILE_VERSION] =
        (std::uint64_t(fixed->dwFileVersionMS) << 32) | fixed->dwFileVersionLS;
    attributes.numbers[sdb::TAG_BIN_PRODUCT_VERSION] =
        (std::uint64_t(fixed->dwProductVersionMS) << 32) | fixed->dwProductVersionLS;
    attributes.numbers[sdb::TAG_VERFILEOS] = fixed->dwFileOS;
    attributes.numbers[sdb::TAG_VERFILETYPE] = fixed->dwFileType;
    attributes.numbers[sdb::TAG_VERDATEHI] = fixed->dwFileDateMS;
    attributes.numbers[sdb::TAG_VERDATELO] = fixed->dwFileDateLS;
}

void AddStrings(void* block, FileAttributes& attributes) {
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block, L"\\VarFileInfo\\Translation", &value, &length) || length < 4)
        return;
    const WORD* translation = static_cast<const WORD*>(value);
    attributes.numbers[sdb::TAG_VER_LANGUAGE] = translation[0];
    wchar_t prefix[40];
    std::swprintf(prefix, 40, L"\\StringFileInfo\\%04x%04x\\", translation[0], translation[1]);
    for (const VersionString& entry : VersionStrings) {
        std::wstring query = std::wstring(prefix) + entry.name;
        if (!VerQueryValueW(block, query.c_str(), &value, &length) || length == 0)
            continue;
        const wchar_t* text = static_cast<const wchar_t*>(value);
        std::size_t size = wcsnlen(text, length);
        attributes.strings[entry.tag] = std::u16string(text, text + size);
    }
}

} // namespace

void AddVersionAttributes(const wchar_t* path, FileAttributes& attributes) {
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(path, &ignored);
    if (size == 0)
        return;
    std::vector<std::uint8_t> block(size);
    if (!GetFileVersionInfoW(path, 0, size, block.data()) ||
        !VersionBlockIsSound(ByteView{block.data(), block.size()}))
        return;
    AddFixedInfo(block.data(), attributes);
    AddStrings(block.data(), attributes);
}
