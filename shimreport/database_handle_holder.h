#pragma once

#include "shim_types.h"

// Holds the database of one printed entry. A borrowed database belongs to its context and is
// left open; only an owned one is closed when the holder goes.
class DatabaseHandleHolder {
public:
    DatabaseHandleHolder();
    ~DatabaseHandleHolder() { Release(); }
    DatabaseHandleHolder(const DatabaseHandleHolder&) = delete;
    DatabaseHandleHolder& operator=(const DatabaseHandleHolder&) = delete;

    void Take(PDB handle, bool borrowed);
    PDB Handle() const { return handle_; }

    // Closes an owned database; afterwards the holder holds null.
    void Release();

private:
    PDB handle_;
    bool borrowed_;
};
