// The engine's calls that pack and unpack shim data.
#include "apphelp_exports.h"

#include "handles.h"
#include "readable_memory.h"

#include "app_compat_block.h"
#include "query_record.h"
#include "tag_ref.h"

#include "sdb_reader.h"

namespace {

// The names of the record's layers, separated by spaces, as far as the context resolves them.
std::u16string LayerNamesOf(Context* context, const BYTE* record) {
    std::u16string names;
    if (context == nullptr)
        return names;
    QueryRecord fields = ReadQueryRecord(record);
    for (DWORD i = 0; i < fields.layerCount && i < MaxLayers; ++i) {
        TAGREF tagRef = fields.layerTagRefs[i];
        DWORD number = TagRefDatabase(tagRef);
        if (number >= context->databases.size())
            continue;
        const sdb::Database& db = *context->databases[number].handle->reader;
        const char16_t* name = sdb::get_child_string_ptr(db, TagRefTagId(tagRef), sdb::TAG_NAME);
        if (name == nullptr)
            continue;
        if (!names.empty())
            names += u' ';
        names += name;
    }
    return names;
}

} // namespace

// The block is allocated from the process heap; the caller frees it with HeapFree.
BOOL WINAPI SdbPackAppCompatData(HSDB hsdb, const void* result, void** data, DWORD* size) {
    if (result == nullptr || data == nullptr || size == nullptr)
        return FALSE;
    return GuardedCall(FALSE, [&]() -> BOOL {
        const BYTE* record = static_cast<const BYTE*>(result);
        Context* context = ContextOf(hsdb);
        std::u16string layers = LayerNamesOf(context, record);
        BYTE* block = static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), 0, PackedBlockSize));
        if (block == nullptr)
            return FALSE;
        USHORT imageType = context != nullptr ? context->imageType : IMAGE_TYPE_X86;
        PackAppCompatBlock(record, std::u16string(), layers, imageType, block);
        *data = block;
        *size = PackedBlockSize;
        return TRUE;
    });
}

// No known form reaches its record's end past this many bytes.
const std::size_t BlockProbeLimit = 4096;

BOOL WINAPI SdbUnpackAppCompatData(HSDB, LPCWSTR, const void* data, void* result) {
    if (data == nullptr || result == nullptr)
        return FALSE;
    return UnpackAppCompatBlock(static_cast<const BYTE*>(data),
                                ReadableBytes(data, BlockProbeLimit), static_cast<BYTE*>(result));
}

DWORD WINAPI SdbGetAppCompatDataSize(const void* data) {
    if (data == nullptr)
        return 0;
    return AppCompatBlockSize(static_cast<const BYTE*>(data), ReadableBytes(data, BlockProbeLimit));
}
