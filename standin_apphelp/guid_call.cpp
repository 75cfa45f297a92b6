// The engine's GUID-to-text call.
#include "apphelp_exports.h"

#include "sdb_guid.h"

#include <cstring>

// Lower-case hex in braces; false when the buffer cannot hold the 39 characters.
BOOL WINAPI SdbGUIDToString(const GUID* guid, LPWSTR buffer, SIZE_T length) {
    if (guid == nullptr || buffer == nullptr)
        return FALSE;
    sdb::Guid value;
    value.data1 = guid->Data1;
    value.data2 = guid->Data2;
    value.data3 = guid->Data3;
    std::memcpy(value.data4, guid->Data4, sizeof value.data4);
    return sdb::guid_to_string(value, reinterpret_cast<char16_t*>(buffer), length) ? TRUE : FALSE;
}
