// Tests of the stand-in engine on missing, foreign, truncated and lying files.
#include "engine.h"
#include "../../sdb/sdb_tags.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// One attribute of a file as SdbGetFileAttributes reports it (numbers in `number`,
// strings in `text`); false when the file or the attribute is unavailable.
bool FileAttribute(const std::wstring& path, TAG tag, ULONGLONG* number, std::wstring* text) {
    const Engine& e = TheEngine();
    PATTRINFO attributes = nullptr;
    DWORD count = 0;
    if (!e.SdbGetFileAttributes(path.c_str(), &attributes, &count))
        return false;
    bool found = false;
    for (DWORD i = 0; i < count; ++i) {
        if (attributes[i].tAttrID == tag && (attributes[i].dwFlags & ATTRIBUTE_AVAILABLE)) {
            found = true;
            if (sdb::tag_type(tag) == sdb::TAG_TYPE_STRINGREF)
                *text = attributes[i].lpAttr;
            else
                *number = attributes[i].ullAttr;
        }
    }
    e.SdbFreeFileAttributes(attributes);
    return found;
}

// Offset of the version resource's root node in an image; 0 when there is none.
std::size_t VersionRoot(const std::vector<BYTE>& image) {
    const wchar_t key[] = L"VS_VERSION_INFO";
    for (std::size_t at = 6; at + sizeof key <= image.size(); at += 2) {
        if (std::memcmp(&image[at], key, sizeof key) == 0)
            return at - 6;
    }
    return 0;
}

void Put16(std::vector<BYTE>& image, std::size_t at, WORD value) {
    std::memcpy(&image[at], &value, sizeof value);
}

struct HostileFiles : ::testing::Test {
    ScratchFolder folder;
    ContextHolder context{TheEngine().SdbInitDatabaseEx(0, nullptr, 0x14C)};
    std::vector<BYTE> sample = ReadWholeFile(std::wstring(SampleFolder) + L"cadwriter.exe");

    // A file named like the sample, so that its catalogue entry is a candidate.
    BOOL MatchAsSample(const std::vector<BYTE>& bytes, std::wstring* written = nullptr) {
        std::wstring path = folder.Write(L"cadwriter.exe", bytes);
        if (written != nullptr)
            *written = path;
        std::vector<BYTE> record = MarkedBuffer();
        return TheEngine().SdbGetMatchingExe(context.hsdb, path.c_str(), nullptr, nullptr, 0,
                                             record.data());
    }
};

TEST_F(HostileFiles, MissingFoldersAndForeignFilesMatchNothing) {
    const Engine& e = TheEngine();
    std::vector<BYTE> record = MarkedBuffer();
    EXPECT_FALSE(e.SdbGetMatchingExe(context.hsdb, L"C:\\no\\such\\cadwriter.exe", nullptr, nullptr,
                                     0, record.data()));
    EXPECT_FALSE(
        e.SdbGetMatchingExe(context.hsdb, folder.path.c_str(), nullptr, nullptr, 0, record.data()));
    EXPECT_FALSE(MatchAsSample(std::vector<BYTE>(300, 'T')));
    ULONGLONG size = 0;
    std::wstring text;
    EXPECT_FALSE(FileAttribute(folder.path, sdb::TAG_SIZE, &size, &text));
}

// Rewrites a file in place and moves its last write time on by a second, as a later build would.
void RewriteLater(const std::wstring& path, const std::vector<BYTE>& bytes) {
    HANDLE handle = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    FILETIME written;
    GetFileTime(handle, nullptr, nullptr, &written);
    ULARGE_INTEGER later;
    later.LowPart = written.dwLowDateTime;
    later.HighPart = written.dwHighDateTime;
    later.QuadPart += 10000000;
    SetFilePointer(handle, 0, nullptr, FILE_BEGIN);
    DWORD done = 0;
    WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
    SetEndOfFile(handle);
    written.dwLowDateTime = later.LowPart;
    written.dwHighDateTime = later.HighPart;
    SetFileTime(handle, nullptr, nullptr, &written);
    CloseHandle(handle);
}

// The attributes a match collected serve the calls that follow only while the file is
// unchanged: a rewrite of the same size or of another is read again.
TEST_F(HostileFiles, RewrittenFileIsReadAgain) {
    std::wstring path;
    ASSERT_TRUE(MatchAsSample(sample, &path));
    ULONGLONG before = 0, after = 0, size = 0;
    std::wstring text;
    ASSERT_TRUE(FileAttribute(path, sdb::TAG_CHECKSUM, &before, &text));
    std::vector<BYTE> changed = sample;
    changed[0x300] ^= 0xFF;
    RewriteLater(path, changed);
    ASSERT_TRUE(FileAttribute(path, sdb::TAG_CHECKSUM, &after, &text));
    EXPECT_NE(before, after);
    changed.push_back(0);
    RewriteLater(path, changed);
    ASSERT_TRUE(FileAttribute(path, sdb::TAG_SIZE, &size, &text));
    EXPECT_EQ(changed.size(), size);
    std::vector<BYTE> record = MarkedBuffer();
    EXPECT_FALSE(TheEngine().SdbGetMatchingExe(context.hsdb, path.c_str(), nullptr, nullptr, 0,
                                               record.data())); // the entry wants the old size
}

// A faithful copy matches; copies cut anywhere never crash and never match.
TEST_F(HostileFiles, TruncatedCopiesGiveOnlyWhatTheyHold) {
    ASSERT_GT(sample.size(), 0x400u);
    ASSERT_TRUE(MatchAsSample(sample));
    std::vector<std::size_t> sizes = {
        0, 1, 2, 0x3C, 0x40, 0x80, 0x86, 0x98, 0x100, 0x178, 0x200, 0x400, sample.size() - 1};
    std::size_t root = VersionRoot(sample);
    ASSERT_NE(root, 0u);
    for (std::size_t cut : {root - 1, root + 8, root + 100})
        sizes.push_back(cut);
    for (std::size_t at = 0x1000; at < sample.size(); at += 0x1F01)
        sizes.push_back(at);
    for (std::size_t size : sizes) {
        std::vector<BYTE> cut(sample.begin(), sample.begin() + size);
        std::wstring path;
        EXPECT_FALSE(MatchAsSample(cut, &path)) << size;
        ULONGLONG reported = 0;
        std::wstring text;
        ASSERT_TRUE(FileAttribute(path, sdb::TAG_SIZE, &reported, &text)) << size;
        EXPECT_EQ(reported, size);
    }
}

// Lengths inside the version resource that run past their parents or the block: the
// strings are not read, so the company no longer matches, and nothing crashes.
TEST_F(HostileFiles, VersionResourceThatLiesAboutItsSizesGivesNoStrings) {
    std::size_t root = VersionRoot(sample);
    ASSERT_NE(root, 0u);
    std::wstring path;
    ASSERT_TRUE(MatchAsSample(sample, &path));
    ULONGLONG number = 0;
    std::wstring company;
    ASSERT_TRUE(FileAttribute(path, sdb::TAG_COMPANY_NAME, &number, &company));
    EXPECT_EQ(company, L"Northwind Graphics");

    WORD rootLength = 0;
    std::memcpy(&rootLength, &sample[root], sizeof rootLength);
    std::size_t firstChild = root + 40 + 52; // key padded to 40 bytes, then the fixed info
    // Lengths past the block or the parent: no strings at all, so no match.
    for (std::size_t field : {root, firstChild}) {
        for (WORD lie : {WORD(0xFFFF), WORD(rootLength + 2)}) {
            std::vector<BYTE> bad = sample;
            Put16(bad, field, lie);
            EXPECT_FALSE(MatchAsSample(bad, &path)) << field << " " << lie;
            EXPECT_FALSE(FileAttribute(path, sdb::TAG_COMPANY_NAME, &number, &company))
                << field << " " << lie;
        }
    }
    // Lengths too small to hold a node, and a value length past its node: whatever the
    // platform still makes of them, a string reported is the true one.
    for (std::size_t field : {root, firstChild, firstChild + 2}) {
        for (WORD lie : {WORD(0), WORD(3), WORD(0x7FFF)}) {
            std::vector<BYTE> bad = sample;
            Put16(bad, field, lie);
            MatchAsSample(bad, &path);
            company.clear();
            if (FileAttribute(path, sdb::TAG_COMPANY_NAME, &number, &company))
                EXPECT_EQ(company, L"Northwind Graphics") << field << " " << lie;
        }
    }
}

// Header fields pointing past the end of the file: the new header's offset loses every
// executable attribute (and so the match); an optional header or directory count too large
// for the file keeps the fields that are there, and nothing crashes.
TEST_F(HostileFiles, HeaderOffsetsPastTheEnd) {
    DWORD peOffset = 0;
    std::memcpy(&peOffset, &sample[0x3C], sizeof peOffset);
    const DWORD pastEnd = 0x7FFFFFF0;
    std::vector<BYTE> bad = sample;
    std::memcpy(&bad[0x3C], &pastEnd, sizeof pastEnd);
    std::wstring path;
    EXPECT_FALSE(MatchAsSample(bad, &path));
    ULONGLONG number = 0;
    std::wstring text;
    ASSERT_TRUE(FileAttribute(path, sdb::TAG_MODULE_TYPE, &number, &text));
    EXPECT_EQ(number, 1u); // a DOS program
    EXPECT_FALSE(FileAttribute(path, sdb::TAG_LINK_DATE, &number, &text));

    for (std::size_t field : {std::size_t(peOffset + 20), std::size_t(peOffset + 24 + 92)}) {
        bad = sample;
        std::memcpy(&bad[field], &pastEnd, sizeof pastEnd);
        MatchAsSample(bad, &path);
        ASSERT_TRUE(FileAttribute(path, sdb::TAG_LINK_DATE, &number, &text)) << field;
    }
}

} // namespace
