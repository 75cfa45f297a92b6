// The holder of the database of one printed entry: closed when owned, left open when borrowed.
#pragma once

#include "../common/handle_holder.h"
#include "shim_types.h"

// A database is closed only while the engine has the entry to close it.
struct DatabaseHandleTraits {
    typedef PDB Value;
    static PDB Empty() { return NULL; }
    static void Close(PDB database);
};

// Holds the database of one printed entry. A borrowed database belongs to its context and is
// left open; only an owned one is closed when the holder goes.
class DatabaseHandleHolder {
public:
    DatabaseHandleHolder();

    void Take(PDB handle, bool borrowed);
    PDB Handle() const { return owned_.Held() ? owned_.Handle() : borrowed_; }

    // Closes an owned database; afterwards the holder holds null.
    void Release();

private:
    HandleHolder<DatabaseHandleTraits> owned_;
    PDB borrowed_;
};
