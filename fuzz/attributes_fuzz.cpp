// libFuzzer target: reads a file's attributes from any bytes, directly and through the head
// cache the path reader uses, and checks what the engine's callers rely on.
#include "attribute_reader.h"
#include "file_checksum.h"

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const ByteView bytes{data, size};
    const MemorySource file(bytes);
    FileAttributes direct;
    ReadFileAttributes(file, direct);
    const HeadCachedSource cached(file);
    FileAttributes through_cache;
    ReadFileAttributes(cached, through_cache);

    // The cache changes nothing; the whole-file checksum and the windowed read agree.
    check(direct.numbers == through_cache.numbers && direct.strings == through_cache.strings);
    check(direct.numbers.at(sdb::TAG_SIZE) == size);
    check(direct.numbers.at(sdb::TAG_CHECKSUM) == FileChecksum(bytes));
    check(direct.numbers.at(sdb::TAG_MODULE_TYPE) <= ModulePe);
    // Every bound equals the value it bounds, and is there exactly when that value is.
    const uint16_t bounds[][2] = {{sdb::TAG_UPTO_BIN_FILE_VERSION, sdb::TAG_BIN_FILE_VERSION},
                                  {sdb::TAG_UPTO_BIN_PRODUCT_VERSION, sdb::TAG_BIN_PRODUCT_VERSION},
                                  {sdb::TAG_UPTO_LINK_DATE, sdb::TAG_LINK_DATE}};
    for (const auto& bound : bounds) {
        check(direct.numbers.count(bound[0]) == direct.numbers.count(bound[1]));
        if (direct.numbers.count(bound[0]) != 0)
            check(direct.numbers.at(bound[0]) == direct.numbers.at(bound[1]));
    }
    return 0;
}
