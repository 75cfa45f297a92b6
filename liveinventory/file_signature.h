// The OS's verdict on a file's signature, through WinVerifyTrust: the file's own
// Authenticode signature, else the system catalog that lists its hash.
#pragma once

#include <windows.h>

#include <string>

#include "../sdb/sdb_audit.h"

// Verified only when the trust provider accepts the signature and its signer's name is
// Microsoft's; a file without either is not verified, with the reason. Reads the file; never
// contacts a server for revocation (the inventory must not leave the machine).
sdb::SignatureVerdict VerifyFileSignature(const std::wstring& path);

// The verdict from what WinVerifyTrust gave (its result and the signer's display name) and
// how the signature was found ("embedded", "catalog NAME").
sdb::SignatureVerdict SignatureVerdictOf(LONG trust, const std::wstring& signer,
                                         const std::string& how);
