// Reads the fixed information, the first translation and its strings from a version block.
#include "version_resource.h"

#include "version_block.h"

namespace {

const std::uint32_t FixedSignature = 0xFEEF04BD;
enum FixedInfo {
    FixedSignatureField = 0,
    FixedFileVersionMs = 8,
    FixedFileVersionLs = 12,
    FixedProductVersionMs = 16,
    FixedProductVersionLs = 20,
    FixedFileOs = 32,
    FixedFileType = 36,
    FixedFileDateMs = 44,
    FixedFileDateLs = 48,
    FixedInfoSize = 52
};

struct VersionString {
    std::uint16_t tag;
    const char* name;
};

const VersionString VersionStrings[] = {
    {sdb::TAG_PRODUCT_VERSION, "ProductVersion"}, {sdb::TAG_FILE_DESCRIPTION, "FileDescription"},
    {sdb::TAG_COMPANY_NAME, "CompanyName"},       {sdb::TAG_PRODUCT_NAME, "ProductName"},
    {sdb::TAG_FILE_VERSION, "FileVersion"},       {sdb::TAG_ORIGINAL_FILENAME, "OriginalFilename"},
    {sdb::TAG_INTERNAL_NAME, "InternalName"},     {sdb::TAG_LEGAL_COPYRIGHT, "LegalCopyright"},
};

std::uint64_t AlignTo4(std::uint64_t offset) {
    return (offset + 3) & ~std::uint64_t(3);
}

// One character of a key or text.
std::uint16_t CharacterAt(ByteView block, VersionForm form, std::uint64_t at) {
    std::uint16_t unit = 0;
    if (form == VersionForm::Wide)
        ReadU16(block, at, unit);
    else if (FitsIn(block, at, 1))
        unit = block.data[at];
    return unit;
}

// Keys are compared as the version queries do: ASCII letters without case.
bool KeyIs(ByteView block, VersionForm form, const VersionNode& node, const std::u16string& key) {
    auto fold = [](char16_t c) { return c >= u'a' && c <= u'z' ? char16_t(c - 32) : c; };
    std::uint64_t at = node.key;
    for (char16_t wanted : key) {
        if (fold(CharacterAt(block, form, at)) != fold(wanted))
            return false;
        at += CharacterSize(form);
    }
    return CharacterAt(block, form, at) == 0; // the node's key ends inside it
}

// The first child of parent with that key.
bool FindChild(ByteView block, VersionForm form, const VersionNode& parent,
               const std::u16string& key, VersionNode& child) {
    for (std::uint64_t at = parent.children; at < parent.end;) {
        if (!ReadVersionNode(block, form, at, child))
            return false;
        if (KeyIs(block, form, child, key))
            return true;
        at = AlignTo4(child.end);
    }
    return false;
}

std::u16string Ascii(const char* text) {
    std::u16string wide;
    for (; *text != 0; ++text)
        wide.push_back(static_cast<char16_t>(*text));
    return wide;
}

void AddFixedInfo(ByteView block, const VersionNode& root, FileAttributes& attributes) {
    if (root.valueSize < FixedInfoSize)
        return;
    ByteView fixed{block.data + root.value, FixedInfoSize};
    std::uint32_t field[FixedFileDateLs / 4 + 1] = {};
    for (std::uint64_t offset = 0; offset < FixedInfoSize; offset += 4)
        ReadU32(fixed, offset, field[offset / 4]);
    if (field[FixedSignatureField / 4] != FixedSignature)
        return;
    auto both = [&](FixedInfo ms, FixedInfo ls) {
        return (std::uint64_t(field[ms / 4]) << 32) | field[ls / 4];
    };
    attributes.numbers[sdb::TAG_BIN_FILE_VERSION] = both(FixedFileVersionMs, FixedFileVersionLs);
    attributes.numbers[sdb::TAG_BIN_PRODUCT_VERSION] =
        both(FixedProductVersionMs, FixedProductVersionLs);
    attributes.numbers[sdb::TAG_VERFILEOS] = field[FixedFileOs / 4];
    attributes.numbers[sdb::TAG_VERFILETYPE] = field[FixedFileType / 4];
    attributes.numbers[sdb::TAG_VERDATEHI] = field[FixedFileDateMs / 4];
    attributes.numbers[sdb::TAG_VERDATELO] = field[FixedFileDateLs / 4];
}

// The table key of a translation: language then code page, four lower-case hex digits each.
std::u16string TableKey(std::uint16_t language, std::uint16_t codePage) {
    const char digits[] = "0123456789abcdef";
    std::u16string key;
    for (std::uint16_t word : {language, codePage}) {
        for (int shift = 12; shift >= 0; shift -= 4)
            key.push_back(static_cast<char16_t>(digits[(word >> shift) & 0xF]));
    }
    return key;
}

void AddStrings(ByteView block, VersionForm form, const VersionNode& root,
                FileAttributes& attributes) {
    VersionNode files, translation, strings, table, text;
    std::uint16_t language = 0, codePage = 0;
    if (!FindChild(block, form, root, u"VarFileInfo", files) ||
        !FindChild(block, form, files, u"Translation", translation) || translation.valueSize < 4 ||
        !ReadU16(block, translation.value, language) ||
        !ReadU16(block, translation.value + 2, codePage))
        return;
    attributes.numbers[sdb::TAG_VER_LANGUAGE] = language;
    if (!FindChild(block, form, root, u"StringFileInfo", strings) ||
        !FindChild(block, form, strings, TableKey(language, codePage), table))
        return;
    for (const VersionString& entry : VersionStrings) {
        if (!FindChild(block, form, table, Ascii(entry.name), text))
            continue;
        // The text ends at its NUL or its value's end; 8-bit texts are taken byte for byte.
        std::u16string value;
        const unsigned width = CharacterSize(form);
        for (std::uint64_t at = text.value; at + width <= text.value + text.valueSize;
             at += width) {
            std::uint16_t unit = CharacterAt(block, form, at);
            if (unit == 0)
                break;
            value.push_back(unit);
        }
        attributes.strings[entry.tag] = value;
    }
}

} // namespace

void AddVersionAttributes(ByteView block, VersionForm form, FileAttributes& attributes) {
    VersionNode root;
    if (!VersionBlockIsSound(block, form) || !ReadVersionNode(block, form, 0, root))
        return;
    AddFixedInfo(block, root, attributes);
    AddStrings(block, form, root, attributes);
}
