// The engine's database writing calls.
#include "apphelp_exports.h"

#include "../common/handle_holder.h"
#include "file_paths.h"
#include "handles.h"

#include <vector>

namespace {

bool WriteWholeFile(const std::wstring& path, const std::vector<uint8_t>& image) {
    const FileHandleHolder file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Held())
        return false;
    DWORD written = 0;
    return WriteFile(file.Handle(), image.data(), static_cast<DWORD>(image.size()), &written,
                     nullptr) &&
           written == image.size();
}

template <typename Write> BOOL WithWriter(PDB pdb, Write write) {
    DatabaseHandle* handle = WriterHandleOf(pdb);
    if (handle == nullptr)
        return FALSE;
    return GuardedCall(FALSE, [&]() -> BOOL { return write(*handle->writer) ? TRUE : FALSE; });
}

} // namespace

// The image is built in memory; SdbCloseDatabaseWrite writes the file, replacing any old one.
PDB WINAPI SdbCreateDatabase(LPCWSTR path, PATH_TYPE) {
    if (path == nullptr)
        return nullptr;
    return GuardedCall<PDB>(nullptr, [&]() -> PDB {
        sdb::WriterPtr writer = sdb::create_writer();
        if (!writer)
            return nullptr;
        std::unique_ptr<DatabaseHandle> handle(new DatabaseHandle());
        handle->magic = DatabaseHandleMagic;
        handle->writer = std::move(writer);
        handle->writePath = DosPathOf(path);
        handle->ownedByContext = false;
        return handle.release();
    });
}

TAGID WINAPI SdbBeginWriteListTag(PDB pdb, TAG tag) {
    DatabaseHandle* handle = WriterHandleOf(pdb);
    if (handle == nullptr)
        return 0;
    return GuardedCall<TAGID>(0, [&] { return sdb::begin_list(*handle->writer, tag); });
}

BOOL WINAPI SdbEndWriteListTag(PDB pdb, TAGID list) {
    return WithWriter(pdb, [&](sdb::Writer& writer) { return sdb::end_list(writer, list); });
}

BOOL WINAPI SdbWriteNULLTag(PDB pdb, TAG tag) {
    return WithWriter(pdb, [&](sdb::Writer& writer) { return sdb::write_null(writer, tag); });
}

BOOL WINAPI SdbWriteWORDTag(PDB pdb, TAG tag, WORD value) {
    return WithWriter(pdb,
                      [&](sdb::Writer& writer) { return sdb::write_word(writer, tag, value); });
}

BOOL WINAPI SdbWriteDWORDTag(PDB pdb, TAG tag, DWORD value) {
    return WithWriter(pdb,
                      [&](sdb::Writer& writer) { return sdb::write_dword(writer, tag, value); });
}

BOOL WINAPI SdbWriteQWORDTag(PDB pdb, TAG tag, ULONGLONG value) {
    return WithWriter(pdb,
                      [&](sdb::Writer& writer) { return sdb::write_qword(writer, tag, value); });
}

BOOL WINAPI SdbWriteStringTag(PDB pdb, TAG tag, LPCWSTR value) {
    if (value == nullptr)
        return FALSE;
    return WithWriter(pdb, [&](sdb::Writer& writer) {
        return sdb::write_string(writer, tag, std::u16string(AsU16(value)));
    });
}

BOOL WINAPI SdbWriteBinaryTag(PDB pdb, TAG tag, const BYTE* data, DWORD size) {
    if (data == nullptr && size != 0)
        return FALSE;
    return WithWriter(
        pdb, [&](sdb::Writer& writer) { return sdb::write_binary(writer, tag, data, size); });
}

// Writes the file (string table last) and frees the handle, also when writing fails.
void WINAPI SdbCloseDatabaseWrite(PDB pdb) {
    DatabaseHandle* handle = WriterHandleOf(pdb);
    if (handle == nullptr)
        return;
    GuardedCall(false, [&] {
        std::vector<uint8_t> image;
        return sdb::close_to_buffer(*handle->writer, &image) &&
               WriteWholeFile(handle->writePath, image);
    });
    handle->magic = 0;
    delete handle;
}
