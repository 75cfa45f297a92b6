// Tests of the live shim state: PEB decoding from bytes, and the reads through fake memory.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <sstream>
#include <vector>

#include "../../common/wow64.h"
#include "../../inspect/current_target.h"
#include "../../inspect/live_shim_info.h"
#include "../../inspect/live_shim_report.h"
#include "../../inspect/native_read_api.h"
#include "../../inspect/peb_decoding.h"
#include "../../inspect/peb_layout.h"
#include "../../shimreport/apphelp_api.h"
#include "test_support.h"

namespace {

const LONG StatusSuccess = 0;
const LONG StatusPartialCopy = static_cast<LONG>(0x8000000DUL);
const LONG StatusInvalidParameter = static_cast<LONG>(0xC000000DUL);

// A fake address space of the target: regions of bytes at fixed addresses.
std::map<ULONGLONG, std::vector<unsigned char>> Regions;
std::map<ULONGLONG, std::vector<ULONGLONG>> ReadSizes; // by address, in call order
ULONGLONG PebAddress = 0;
bool ShortReadsReportSuccess = false;
bool QueryFails = false;
BOOL TargetIsWow64 = TRUE;
std::vector<unsigned char> UnpackedCopy;

LONG FakeCopy(ULONGLONG address, void* buffer, ULONGLONG size, ULONGLONG& count) {
    ReadSizes[address].push_back(size);
    count = 0;
    for (const auto& region : Regions) {
        const ULONGLONG start = region.first;
        const ULONGLONG end = start + region.second.size();
        if (address < start || address >= end) {
            continue;
        }
        count = address + size <= end ? size : end - address;
        std::memcpy(buffer, &region.second[static_cast<size_t>(address - start)],
                    static_cast<size_t>(count));
        return count == size || ShortReadsReportSuccess ? StatusSuccess : StatusPartialCopy;
    }
    return StatusPartialCopy;
}

// The query of a process of the tool's own pointer size.
LONG NTAPI FakeQueryOwn(HANDLE, ULONG infoClass, PVOID info, ULONG size, PULONG) {
    const PebLayout& layout = OwnPebLayout();
    if (QueryFails || infoClass != 0 || size != layout.basicInfoSize) {
        return StatusInvalidParameter;
    }
    std::memcpy(static_cast<unsigned char*>(info) + layout.pebAddressOffset, &PebAddress,
                layout.pointerSize);
    return StatusSuccess;
}
LONG NTAPI FakeReadOwn(HANDLE, PVOID address, PVOID buffer, SIZE_T size, PSIZE_T count) {
    ULONGLONG got = 0;
    const LONG status = FakeCopy(reinterpret_cast<ULONG_PTR>(address), buffer, size, got);
    *count = static_cast<SIZE_T>(got);
    return status;
}
LONG NTAPI FakeQuery64(HANDLE, ULONG infoClass, PVOID info, ULONG size, PULONG) {
    if (QueryFails || infoClass != 0 || size != 48) {
        return StatusInvalidParameter;
    }
    std::memcpy(static_cast<unsigned char*>(info) + 8, &PebAddress, 8);
    return StatusSuccess;
}
LONG NTAPI FakeRead64(HANDLE, ULONGLONG address, PVOID buffer, ULONGLONG size, PULONGLONG count) {
    return FakeCopy(address, buffer, size, *count);
}
BOOL WINAPI FakeIsWow64(HANDLE, PBOOL wow64) {
    *wow64 = TargetIsWow64;
    return TRUE;
}
USHORT OpenedImageType = 0;
HSDB WINAPI RecordingInit(DWORD, LPCWSTR, USHORT imageType) {
    OpenedImageType = imageType;
    return reinterpret_cast<HSDB>(0x1000);
}
BOOL WINAPI RecordingUnpack(HSDB, LPCWSTR, PVOID data, void*) {
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    UnpackedCopy.assign(bytes, bytes + 16384);
    return FALSE;
}

template <typename Value> void Put(std::vector<unsigned char>& bytes, size_t offset, Value value) {
    std::memcpy(&bytes[offset], &value, sizeof value);
}

std::vector<unsigned char> Pattern(size_t size) {
    std::vector<unsigned char> bytes(size);
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<unsigned char>(i * 7 + 3);
    }
    return bytes;
}

const ULONGLONG ShimAddress = 0x00500000;
const ULONGLONG InfoAddress = 0x00600000;

class LiveShimInfoTest : public ::testing::Test {
protected:
    void SetUp() override {
        Regions.clear();
        ReadSizes.clear();
        ShortReadsReportSuccess = false;
        QueryFails = false;
        TargetIsWow64 = TRUE;
        UnpackedCopy.clear();
        ApphelpApi.SdbUnpackAppCompatData = RecordingUnpack;
        CurrentTarget.processId = GetCurrentProcessId();
        IsWow64ProcessLookedUp = true;
        IsWow64ProcessEntry = FakeIsWow64;
        UseOwnSizeReads();
    }
    void TearDown() override { CurrentTarget.processId = 0; }

    void UseOwnSizeReads() {
        SelfWow64Known = true;
        SelfWow64 = false;
        NativeReadEntriesLookedUp = true;
        NtQueryInformationProcessEntry = FakeQueryOwn;
        NtReadVirtualMemoryEntry = FakeReadOwn;
    }
    void UseWow64Reads() {
        SelfWow64Known = true;
        SelfWow64 = true;
        Wow64ReadEntriesLookedUp = true;
        NtWow64QueryInformationProcess64Entry = FakeQuery64;
        NtWow64ReadVirtualMemory64Entry = FakeRead64;
    }
    // A PEB of the given layout at an address below 4 GiB, which either layout can point at.
    void PlantPeb(const PebLayout& layout, ULONGLONG flags, ULONGLONG userFlags, ULONGLONG shimData,
                  ULONGLONG info) {
        PebAddress = 0x7ffd0000;
        std::vector<unsigned char> peb(layout.pebSize, 0);
        Put(peb, layout.appCompatFlagsOffset, flags);
        Put(peb, layout.appCompatFlagsUserOffset, userFlags);
        std::memcpy(&peb[layout.shimDataOffset], &shimData, layout.pointerSize);
        std::memcpy(&peb[layout.appCompatInfoOffset], &info, layout.pointerSize);
        Regions[PebAddress] = peb;
    }
    void PlantOwnPeb(ULONGLONG flags, ULONGLONG userFlags, ULONGLONG shimData, ULONGLONG info) {
        PlantPeb(OwnPebLayout(), flags, userFlags, shimData, info);
    }
    std::wstring Report() {
        ReportStream stream;
        WriteLiveShimInfo(stream);
        return stream.str();
    }

    PaneForTest pane;
    FakeEngineForTest engine;
    ReadEntriesForTest entries;
};

TEST_F(LiveShimInfoTest, ProcessWithoutShimStateSaysSo) {
    PlantOwnPeb(0, 0, 0, 0);
    EXPECT_EQ(L"\r\nNo info found in process, not shimmed or running on 2k3!\r\n", Report());
}

TEST_F(LiveShimInfoTest, FlagWordsShareOneLabelAndLeaveTheStreamHexadecimal) {
    PlantOwnPeb(0x400, 0, 0, 0);
    ReportStream stream;
    WriteLiveShimInfo(stream);
    stream << 255;
    EXPECT_EQ(L"\r\nLive info:\r\nAppCompatFlags: 0x400\r\nff", stream.str());

    PlantOwnPeb(0x1, 0x123456789abcdef0ULL, 0, 0);
    EXPECT_EQ(L"\r\nLive info:\r\nAppCompatFlags: 0x1\r\nAppCompatFlags: 0x123456789abcdef0\r\n",
              Report());
    PlantOwnPeb(0, 0x80, 0, 0);
    EXPECT_EQ(L"\r\nLive info:\r\nAppCompatFlags: 0x80\r\n", Report());
}

TEST_F(LiveShimInfoTest, BlockThatEndsAfter8KiBIsReadAt8KiBAndDumpedWhole) {
    PlantOwnPeb(0, 0, 0, InfoAddress);
    Regions[InfoAddress] = Pattern(8192);
    const std::wstring report = Report();
    EXPECT_EQ((std::vector<ULONGLONG>{16384, 8192}), ReadSizes[InfoAddress]);
    const std::wstring head = L"\r\nLive info:\r\nAppCompatInfo:\r\n"
                              L"0000 03 0a 11 18 1f 26 2d 34 3b 42 49 50 57 5e 65 6c "
                              L".....&-4;BIPW^el\r\n";
    EXPECT_EQ(head, report.substr(0, head.size()));
    const std::wstring::size_type lastLine = report.rfind(L"\r\n", report.size() - 3) + 2;
    EXPECT_EQ(L"1ff0 ", report.substr(lastLine, 5));
    EXPECT_EQ(std::wstring(L"\r\nLive info:\r\nAppCompatInfo:\r\n").size() + 512 * 71,
              report.size());
}

TEST_F(LiveShimInfoTest, BlockUnreadableEvenAt4KiBFailsTheWholeRead) {
    PlantOwnPeb(0x400, 0, 0, InfoAddress);
    Regions[InfoAddress] = Pattern(4095);
    EXPECT_EQ(L"Could not read remote shim info\r\n", Report());
    EXPECT_EQ((std::vector<ULONGLONG>{16384, 8192, 4096}), ReadSizes[InfoAddress]);
}

TEST_F(LiveShimInfoTest, ReadThatDeliversFewerBytesFailsWhateverItsStatus) {
    ShortReadsReportSuccess = true;
    PlantOwnPeb(0x400, 0, 0, InfoAddress);
    Regions[InfoAddress] = Pattern(4095);
    EXPECT_EQ(L"Could not read remote shim info\r\n", Report());

    Regions.erase(InfoAddress);
    Regions[PebAddress].resize(OwnPebLayout().pebSize - 1);
    EXPECT_EQ(L"Could not read remote shim info\r\n", Report());
}

TEST_F(LiveShimInfoTest, FailedQueryOrFailedShimDataReadStopsTheRead) {
    PlantOwnPeb(0x400, 0, ShimAddress, InfoAddress);
    Regions[InfoAddress] = Pattern(16384);
    EXPECT_EQ(L"Could not read remote shim info\r\n", Report());
    EXPECT_EQ(0u, ReadSizes.count(InfoAddress));

    QueryFails = true;
    Regions[ShimAddress] = Pattern(16384);
    EXPECT_EQ(L"Could not read remote shim info\r\n", Report());
}

TEST_F(LiveShimInfoTest, ShimDataReadAt4KiBIsHandedOnInA16KiBZeroPaddedCopy) {
    PlantOwnPeb(0, 0, ShimAddress, 0);
    Regions[ShimAddress] = Pattern(4096);
    EXPECT_EQ(L"\r\nLive info:\r\nUnable to unpack AppCompatData\r\n\r\n", Report());
    ASSERT_EQ(16384u, UnpackedCopy.size());
    EXPECT_TRUE(std::equal(UnpackedCopy.begin(), UnpackedCopy.begin() + 4096,
                           Regions[ShimAddress].begin()));
    EXPECT_EQ(std::vector<unsigned char>(12288, 0),
              std::vector<unsigned char>(UnpackedCopy.begin() + 4096, UnpackedCopy.end()));
}

// targetIs64Bit says what the target is, peb64 which layout was read: through the WoW64 reads
// the 64-bit one of either kind of target, without them the tool's own.
TEST_F(LiveShimInfoTest, Wow64ReadsUseTheTargets64BitPeb) {
    UseWow64Reads();
    PlantPeb(Peb64Layout, 0x20, 0, ShimAddress, InfoAddress);
    Regions[ShimAddress] = Pattern(16384);
    Regions[InfoAddress] = Pattern(16384);
    LiveShimInfo info;
    ASSERT_TRUE(ReadLiveShimInfo(GetCurrentProcessId(), info));
    EXPECT_EQ(0x20u, info.appCompatFlags);
    EXPECT_EQ(16384u, info.appCompatInfoSize);
    EXPECT_FALSE(info.targetIs64Bit);
    EXPECT_TRUE(info.peb64);

    TargetIsWow64 = FALSE;
    ASSERT_TRUE(ReadLiveShimInfo(GetCurrentProcessId(), info));
    EXPECT_TRUE(info.targetIs64Bit);
    EXPECT_TRUE(info.peb64);

    UseOwnSizeReads();
    TargetIsWow64 = TRUE;
    PlantOwnPeb(0x20, 0, ShimAddress, InfoAddress);
    ASSERT_TRUE(ReadLiveShimInfo(GetCurrentProcessId(), info));
    EXPECT_EQ(sizeof(void*) == 8, info.peb64);
}

TEST_F(LiveShimInfoTest, MissingWow64ReadsFallBackToThe32BitPebOfA32BitTargetOnly) {
    SelfWow64 = true;
    Wow64ReadEntriesLookedUp = true;
    NtWow64QueryInformationProcess64Entry = NULL;
    NtWow64ReadVirtualMemory64Entry = FakeRead64;
    PlantOwnPeb(0x400, 0, 0, 0);
    EXPECT_EQ(L"\r\nLive info:\r\nAppCompatFlags: 0x400\r\n", Report());

    TargetIsWow64 = FALSE;
    EXPECT_EQ(L"Could not read remote shim info\r\n", Report());
}

// The unpacker's context is opened for the target's image type: 64-bit for a 64-bit target on
// 64-bit Windows, whichever build reads it; 32-bit for a WoW64 target and on 32-bit Windows.
TEST_F(LiveShimInfoTest, UnpackerIsGivenTheTargetsImageType) {
    ApphelpApi.SdbInitDatabaseEx = RecordingInit;
    const auto imageTypeFor = [this](BOOL targetIsWow64) {
        TargetIsWow64 = targetIsWow64;
        OpenedImageType = 0;
        Report();
        return OpenedImageType;
    };
    const bool build64 = sizeof(void*) == 8;
    PlantOwnPeb(0, 0, ShimAddress, 0);
    Regions[ShimAddress] = Pattern(16384);
    EXPECT_EQ(build64 ? 0x8664 : 0x14C, imageTypeFor(FALSE));
    EXPECT_EQ(0x14C, imageTypeFor(TRUE));

    // A 32-bit tool under WoW64 reads the 64-bit PEB of either kind of target.
    UseWow64Reads();
    PlantPeb(Peb64Layout, 0, 0, ShimAddress, 0);
    EXPECT_EQ(0x8664, imageTypeFor(FALSE));
    EXPECT_EQ(0x14C, imageTypeFor(TRUE));
}

TEST_F(LiveShimInfoTest, MissingNtdllEntriesFailTheReadInsteadOfBeingCalled) {
    PlantOwnPeb(0x400, 0, 0, 0);
    NtReadVirtualMemoryEntry = NULL;
    EXPECT_EQ(L"Could not read remote shim info\r\n", Report());
    EXPECT_TRUE(ReadSizes.empty());
}

// The decoding alone: bytes of a PEB in, fields out, for each pointer size.
std::vector<unsigned char> PebBytes(const PebLayout& layout, ULONGLONG flags, ULONGLONG userFlags,
                                    ULONGLONG shimData, ULONGLONG info) {
    // Bytes that no field holds are set, so that a field read too wide shows.
    std::vector<unsigned char> peb(layout.pebSize, 0xee);
    Put(peb, layout.appCompatFlagsOffset, flags);
    Put(peb, layout.appCompatFlagsUserOffset, userFlags);
    std::memcpy(&peb[layout.shimDataOffset], &shimData, layout.pointerSize);
    std::memcpy(&peb[layout.appCompatInfoOffset], &info, layout.pointerSize);
    return peb;
}

TEST(PebDecoding, EachLayoutGivesItsFlagWordsAndBlockAddresses) {
    const std::vector<unsigned char> peb32 =
        PebBytes(Peb32Layout, 0x123456789abcdef0ULL, 0x80, 0x00500000, 0x7ff00000);
    PebFields fields = {};
    ASSERT_TRUE(DecodePebFields(&peb32[0], peb32.size(), Peb32Layout, fields));
    EXPECT_EQ(0x123456789abcdef0ULL, fields.appCompatFlags);
    EXPECT_EQ(0x80u, fields.appCompatFlagsUser);
    EXPECT_EQ(0x00500000u, fields.shimDataAddress);
    EXPECT_EQ(0x7ff00000u, fields.appCompatInfoAddress);

    // A 64-bit target's blocks may lie above 4 GiB, which a 32-bit reader must still see.
    const std::vector<unsigned char> peb64 =
        PebBytes(Peb64Layout, 0x400, 0, 0x000001f2a0b00000ULL, 0x00007ff612340000ULL);
    ASSERT_TRUE(DecodePebFields(&peb64[0], peb64.size(), Peb64Layout, fields));
    EXPECT_EQ(0x400u, fields.appCompatFlags);
    EXPECT_EQ(0u, fields.appCompatFlagsUser);
    EXPECT_EQ(0x000001f2a0b00000ULL, fields.shimDataAddress);
    EXPECT_EQ(0x00007ff612340000ULL, fields.appCompatInfoAddress);
}

TEST(PebDecoding, TooFewBytesDecodeNothing) {
    const std::vector<unsigned char> peb = PebBytes(Peb64Layout, 1, 2, 3, 4);
    PebFields fields = {9, 9, 9, 9};
    EXPECT_FALSE(DecodePebFields(&peb[0], peb.size() - 1, Peb64Layout, fields));
    EXPECT_EQ(9u, fields.appCompatFlags);
    EXPECT_EQ(9u, fields.appCompatInfoAddress);
}

TEST(PebDecoding, BasicInformationGivesThePebAddressOfItsPointerSize) {
    std::vector<unsigned char> record(Peb64Layout.basicInfoSize, 0xee);
    const ULONGLONG address64 = 0x000000e3a1b2c000ULL;
    std::memcpy(&record[Peb64Layout.pebAddressOffset], &address64, sizeof address64);
    EXPECT_EQ(address64, DecodePebAddress(&record[0], record.size(), Peb64Layout));
    EXPECT_EQ(0u, DecodePebAddress(&record[0], record.size() - 1, Peb64Layout));

    record.assign(Peb32Layout.basicInfoSize, 0xee);
    const ULONG address32 = 0x7ffd0000;
    std::memcpy(&record[Peb32Layout.pebAddressOffset], &address32, sizeof address32);
    EXPECT_EQ(address32, DecodePebAddress(&record[0], record.size(), Peb32Layout));
}

} // namespace

namespace {

// A packed block of the given form (size field at 0 or at 520, the magic after it) that
// claims the given size.
std::vector<unsigned char> PackedClaiming(size_t sizeOffset, DWORD claimed, size_t length) {
    std::vector<unsigned char> bytes = Pattern(length);
    Put(bytes, sizeOffset, claimed);
    Put(bytes, sizeOffset + 4, DWORD(0xAC0DEDAB));
    return bytes;
}

class PackedSizeTest : public LiveShimInfoTest {};

TEST_F(PackedSizeTest, SizeFieldBeyondTheBytesReadNeverReachesTheUnpacker) {
    PlantOwnPeb(0, 0, ShimAddress, 0);
    for (size_t sizeOffset : {size_t(0), size_t(520)}) {
        // 4096 bytes readable, so the copy holds 4096; each form claims more than that.
        for (DWORD claimed : {DWORD(4097), DWORD(16384), DWORD(0xFFFFFFFF)}) {
            Regions[ShimAddress] = PackedClaiming(sizeOffset, claimed, 4096);
            UnpackedCopy.clear();
            EXPECT_EQ(L"\r\nLive info:\r\nUnable to unpack AppCompatData\r\n\r\n", Report())
                << sizeOffset << L" " << claimed;
            EXPECT_TRUE(UnpackedCopy.empty()) << sizeOffset << L" " << claimed;
        }
    }
}

TEST_F(PackedSizeTest, SizeFieldWithinTheBytesReadIsHandedToTheUnpacker) {
    PlantOwnPeb(0, 0, ShimAddress, 0);
    const struct {
        size_t sizeOffset;
        DWORD claimed;
        size_t readable;
    } cases[] = {{520, 1500, 4096}, {0, 3976, 4096}, {520, 4704, 8192}, {0, 16384, 16384}};
    for (const auto& c : cases) {
        Regions[ShimAddress] = PackedClaiming(c.sizeOffset, c.claimed, c.readable);
        UnpackedCopy.clear();
        Report();
        EXPECT_EQ(16384u, UnpackedCopy.size()) << c.sizeOffset << L" " << c.claimed;
    }
}

} // namespace
