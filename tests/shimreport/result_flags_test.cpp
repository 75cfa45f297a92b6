// Tests of the flag names.
#include <string>

#include <gtest/gtest.h>

#include "../../shimreport/print_result_flags.h"

namespace {

std::wstring Flags(DWORD flags) {
    ReportStream stream;
    PrintResultFlags(stream, flags);
    return stream.str();
}

TEST(ResultFlags, NamesInTheReportOrderWithTheRemainderLast) {
    EXPECT_EQ(L"", Flags(0));
    EXPECT_EQ(L"DISABLE_SHIM | APPHELP_CANCEL | DISABLE_SXS", Flags(0x10000011));
    EXPECT_EQ(L"0x180", Flags(0x180));
    EXPECT_EQ(L"DISABLE_SHIM | 0x80", Flags(0x81));
    EXPECT_EQ(L"DISABLE_SHIM | DISABLE_APPHELP | APPHELP_NOUI | APPHELP_CANCEL | DISABLE_SXS | "
              L"DISABLE_LAYER | DISABLE_DRIVER | 0xefffff88",
              Flags(0xFFFFFFFF));
}

TEST(ResultFlags, OnlyARemainderSwitchesTheStreamToHexadecimal) {
    ReportStream stream;
    PrintResultFlags(stream, 0x40) << L' ' << 500u << L' ';
    PrintResultFlags(stream, 0x100) << L' ' << 500u;
    EXPECT_EQ(L"DISABLE_DRIVER 500 0x100 1f4", stream.str());
}

} // namespace
