// Creates and checks the engine's database and context handles.
#include "handles.h"

std::unique_ptr<DatabaseHandle> NewReaderHandle(sdb::DatabasePtr reader, bool ownedByContext) {
    std::unique_ptr<DatabaseHandle> handle(new DatabaseHandle());
    handle->magic = DatabaseHandleMagic;
    handle->reader = std::move(reader);
    handle->ownedByContext = ownedByContext;
    return handle;
}

const sdb::Database* ReaderOf(PDB pdb) {
    DatabaseHandle* handle = static_cast<DatabaseHandle*>(pdb);
    if (handle == nullptr || handle->magic != DatabaseHandleMagic)
        return nullptr;
    return handle->reader.get();
}

DatabaseHandle* WriterHandleOf(PDB pdb) {
    DatabaseHandle* handle = static_cast<DatabaseHandle*>(pdb);
    if (handle == nullptr || handle->magic != DatabaseHandleMagic || !handle->writer)
        return nullptr;
    return handle;
}

Context* ContextOf(HSDB hsdb) {
    Context* context = static_cast<Context*>(hsdb);
    if (context == nullptr || context->magic != ContextMagic)
        return nullptr;
    return context;
}
