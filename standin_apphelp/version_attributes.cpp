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
    {TagProductVersion, L"ProductVersion"}, {TagFileDescription, L"FileDescription"},
    {TagCompanyName, L"CompanyName"},       {TagProductName, L"ProductName"},
    {TagFileVersion, L"FileVersion"},       {TagOriginalFilename, L"OriginalFilename"},
    {TagInternalName, L"InternalName"},     {TagLegalCopyright, L"LegalCopyright"},
};

void AddFixedInfo(void* block, FileAttributes& attributes) {
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block, L"\\", &value, &length) || length < sizeof(VS_FIXEDFILEINFO))
        return;
    const VS_FIXEDFILEINFO* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    if (fixed->dwSignature != 0xFEEF04BD)
        return;
    attributes.numbers[TagBinFileVersion] =
        (std::uint64_t(fixed->dwFileVersionMS) << 32) | fixed->dwFileVersionLS;
    attributes.numbers[TagBinProductVersion] =
        (std::uint64_t(fixed->dwProductVersionMS) << 32) | fixed->dwProductVersionLS;
    attributes.numbers[TagVerFileOs] = fixed->dwFileOS;
    attributes.numbers[TagVerFileType] = fixed->dwFileType;
    attributes.numbers[TagVerDateHi] = fixed->dwFileDateMS;
    attributes.numbers[TagVerDateLo] = fixed->dwFileDateLS;
}

void AddStrings(void* block, FileAttributes& attributes) {
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block, L"\\VarFileInfo\\Translation", &value, &length) || length < 4)
        return;
    const WORD* translation = static_cast<const WORD*>(value);
    attributes.numbers[TagVerLanguage] = translation[0];
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
