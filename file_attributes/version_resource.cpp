// Reads the fixed information, the first translation and its strings from a version block.
#include "version_resource.h"

#include "version_block.h"

namespace {

const std::uint64_t NodeHeaderSize = 6; // wLength, wValueLength, wType
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

// One node of a sound block: where its key, value and children lie.
struct Node {
    std::uint64_t start;
    std::uint64_t end;
    std::uint64_t key;
    std::uint64_t value;
    std::uint64_t valueSize; // in bytes
    std::uint64_t children;
};

std::uint64_t AlignTo4(std::uint64_t offset) {
    return (offset + 3) & ~std::uint64_t(3);
}

bool ReadNode(ByteView block, std::uint64_t start, Node& node) {
    std::uint16_t length = 0, valueLength = 0, type = 0, unit = 1;
    if (!ReadU16(block, start, length) || !ReadU16(block, start + 2, valueLength) ||
        !ReadU16(block, start + 4, type) || length < NodeHeaderSize)
        return false;
    node.start = start;
    node.end = start + length;
    node.key = start + NodeHeaderSize;
    std::uint64_t at = node.key;
    while (unit != 0) {
        if (at + 2 > node.end || !ReadU16(block, at, unit))
            return false;
        at += 2;
    }
    node.value = AlignTo4(at);
    node.valueSize = type == 1 ? std::uint64_t(valueLength) * 2 : valueLength;
    node.children = AlignTo4(node.value + node.valueSize);
    return true;
}

// Keys are compared as the version queries do: ASCII letters without case.
bool KeyIs(ByteView block, const Node& node, const std::u16string& key) {
    std::uint64_t at = node.key;
    for (char16_t wanted : key) {
        std::uint16_t unit = 0;
        ReadU16(block, at, unit);
        auto fold = [](char16_t c) { return c >= u'a' && c <= u'z' ? char16_t(c - 32) : c; };
        if (fold(unit) != fold(wanted))
            return false;
        at += 2;
    }
    std::uint16_t end = 1;
    return ReadU16(block, at, end) && end == 0;
}

// The first child of parent with that key.
bool FindChild(ByteView block, const Node& parent, const std::u16string& key, Node& child) {
    for (std::uint64_t at = parent.children; at < parent.end;) {
        if (!ReadNode(block, at, child))
            return false;
        if (KeyIs(block, child, key))
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

void AddFixedInfo(ByteView block, const Node& root, FileAttributes& attributes) {
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

void AddStrings(ByteView block, const Node& root, FileAttributes& attributes) {
    Node files, translation, strings, table, text;
    std::uint16_t language = 0, codePage = 0;
    if (!FindChild(block, root, u"VarFileInfo", files) ||
        !FindChild(block, files, u"Translation", translation) || translation.valueSize < 4 ||
        !ReadU16(block, translation.value, language) ||
        !ReadU16(block, translation.value + 2, codePage))
        return;
    attributes.numbers[sdb::TAG_VER_LANGUAGE] = language;
    if (!FindChild(block, root, u"StringFileInfo", strings) ||
        !FindChild(block, strings, TableKey(language, codePage), table))
        return;
    for (const VersionString& entry : VersionStrings) {
        if (!FindChild(block, table, Ascii(entry.name), text))
            continue;
        std::u16string value;
        std::uint16_t unit = 0;
        for (std::uint64_t at = text.value; at + 2 <= text.value + text.valueSize; at += 2) {
            if (!ReadU16(block, at, unit) || unit == 0)
                break;
            value.push_back(unit);
        }
        attributes.strings[entry.tag] = value;
    }
}

} // namespace

void AddVersionAttributes(ByteView block, FileAttributes& attributes) {
    Node root;
    if (!VersionBlockIsSound(block) || !ReadNode(block, 0, root))
        return;
    AddFixedInfo(block, root, attributes);
    AddStrings(block, root, attributes);
}
