// The OS's verdict on a file's signature, embedded or through a catalog.
#include "file_signature.h"

#include <mscat.h>
#include <softpub.h>
#include <wintrust.h>

#include <vector>

#include "../common/entry_point.h"
#include "../common/handle_holder.h"
#include "../common/utf8_text.h"

namespace {

const wchar_t* const WintrustModule = L"wintrust.dll";

typedef BOOL(WINAPI* AcquireContext2Fn)(HCATADMIN*, const GUID*, const WCHAR*,
                                        const CERT_STRONG_SIGN_PARA*, DWORD);
typedef BOOL(WINAPI* CalcHash2Fn)(HCATADMIN, HANDLE, DWORD*, BYTE*, DWORD);

// The signer's display name from a trust state that WinVerifyTrust left open.
std::wstring SignerOf(HANDLE state) {
    CRYPT_PROVIDER_DATA* data = WTHelperProvDataFromStateData(state);
    CRYPT_PROVIDER_SGNR* signer =
        data != NULL ? WTHelperGetProvSignerFromChain(data, 0, FALSE, 0) : NULL;
    if (signer == NULL || signer->csCertChain == 0 || signer->pasCertChain == NULL ||
        signer->pasCertChain[0].pCert == NULL) {
        return std::wstring();
    }
    wchar_t name[256] = {0};
    CertGetNameStringW(signer->pasCertChain[0].pCert, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, NULL, name,
                       256);
    return name;
}

// WinVerifyTrust over a file or a catalog member, with no network lookups; the signer's
// name in *signer when it trusts it.
LONG Verify(WINTRUST_DATA& data, std::wstring* signer) {
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    data.cbStruct = sizeof data;
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwStateAction = WTD_STATEACTION_VERIFY;
    data.dwProvFlags = WTD_CACHE_ONLY_URL_RETRIEVAL | WTD_REVOCATION_CHECK_NONE;
    const LONG trust = WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    if (trust == ERROR_SUCCESS) {
        *signer = SignerOf(data.hWVTStateData);
    }
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    return trust;
}

// A catalog admin context, released by its own call.
struct CatalogAdminTraits {
    typedef HCATADMIN Value;
    static Value Empty() { return NULL; }
    static void Close(Value admin) { CryptCATAdminReleaseContext(admin, 0); }
};

// The hash of the file as catalogs list it: SHA-256 where the system has the call (Windows 8
// on), else SHA-1. False when no admin context or hash can be had.
bool CatalogHash(HANDLE file, HandleHolder<CatalogAdminTraits>& admin, std::vector<BYTE>& hash) {
    static bool lookedUpAcquire = false;
    static AcquireContext2Fn acquire2 = NULL;
    static bool lookedUpHash = false;
    static CalcHash2Fn hash2 = NULL;
    HCATADMIN context = NULL;
    const bool modern = LookUpOnce(lookedUpAcquire, acquire2, WintrustModule,
                                   "CryptCATAdminAcquireContext2") != NULL &&
                        LookUpOnce(lookedUpHash, hash2, WintrustModule,
                                   "CryptCATAdminCalcHashFromFileHandle2") != NULL;
    if (modern ? !acquire2(&context, NULL, L"SHA256", NULL, 0)
               : !CryptCATAdminAcquireContext(&context, NULL, 0)) {
        return false;
    }
    admin.Reset(context);
    DWORD size = 0;
    if (modern) {
        hash2(context, file, &size, NULL, 0);
    } else {
        CryptCATAdminCalcHashFromFileHandle(file, &size, NULL, 0);
    }
    if (size == 0 || size > 64) {
        return false;
    }
    hash.assign(size, 0);
    return modern ? hash2(context, file, &size, hash.data(), 0) != FALSE
                  : CryptCATAdminCalcHashFromFileHandle(file, &size, hash.data(), 0) != FALSE;
}

std::wstring HexOf(const std::vector<BYTE>& bytes) {
    static const wchar_t digits[] = L"0123456789ABCDEF";
    std::wstring text;
    for (BYTE b : bytes) {
        text += digits[b >> 4];
        text += digits[b & 15];
    }
    return text;
}

} // namespace

sdb::SignatureVerdict SignatureVerdictOf(LONG trust, const std::wstring& signer,
                                         const std::string& how) {
    sdb::SignatureVerdict verdict;
    verdict.state = sdb::SignatureState::NotVerified;
    verdict.signer = Utf8(signer);
    if (trust == TRUST_E_NOSIGNATURE || trust == TRUST_E_SUBJECT_FORM_UNKNOWN ||
        trust == TRUST_E_PROVIDER_UNKNOWN) {
        verdict.detail = "unsigned: no embedded signature and no catalog lists it";
    } else if (trust != ERROR_SUCCESS) {
        char code[16];
        wsprintfA(code, "0x%08lX", static_cast<unsigned long>(trust));
        verdict.detail = std::string("untrusted (") + code + ")";
    } else if (signer.compare(0, 9, L"Microsoft") != 0) {
        verdict.detail = "trusted, but not signed by Microsoft";
    } else {
        verdict.state = sdb::SignatureState::Verified;
        verdict.detail = how;
    }
    return verdict;
}

sdb::SignatureVerdict VerifyFileSignature(const std::wstring& path) {
    FileHandleHolder file(CreateFileW(path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL));
    if (!file.Held()) {
        sdb::SignatureVerdict verdict;
        verdict.state = sdb::SignatureState::NotVerified;
        verdict.detail = "the file could not be opened";
        return verdict;
    }
    WINTRUST_FILE_INFO fileInfo = {};
    fileInfo.cbStruct = sizeof fileInfo;
    fileInfo.pcwszFilePath = path.c_str();
    fileInfo.hFile = file.Handle();
    WINTRUST_DATA embedded = {};
    embedded.dwUnionChoice = WTD_CHOICE_FILE;
    embedded.pFile = &fileInfo;
    std::wstring signer;
    LONG trust = Verify(embedded, &signer);
    if (trust != TRUST_E_NOSIGNATURE && trust != TRUST_E_SUBJECT_FORM_UNKNOWN &&
        trust != TRUST_E_PROVIDER_UNKNOWN) {
        return SignatureVerdictOf(trust, signer, "embedded signature");
    }
    // No signature of its own: a database ships listed in a system catalog.
    HandleHolder<CatalogAdminTraits> admin;
    std::vector<BYTE> hash;
    if (!CatalogHash(file.Handle(), admin, hash)) {
        return SignatureVerdictOf(trust, std::wstring(), std::string());
    }
    HCATINFO catalog = CryptCATAdminEnumCatalogFromHash(admin.Handle(), hash.data(),
                                                        static_cast<DWORD>(hash.size()), 0, NULL);
    if (catalog == NULL) {
        return SignatureVerdictOf(trust, std::wstring(), std::string());
    }
    CATALOG_INFO info = {};
    info.cbStruct = sizeof info;
    const BOOL known = CryptCATCatalogInfoFromContext(catalog, &info, 0);
    CryptCATAdminReleaseCatalogContext(admin.Handle(), catalog, 0);
    if (!known) {
        return SignatureVerdictOf(trust, std::wstring(), std::string());
    }
    const std::wstring member = HexOf(hash);
    WINTRUST_CATALOG_INFO catalogInfo = {};
    catalogInfo.cbStruct = sizeof catalogInfo;
    catalogInfo.pcwszCatalogFilePath = info.wszCatalogFile;
    catalogInfo.pcwszMemberFilePath = path.c_str();
    catalogInfo.pcwszMemberTag = member.c_str();
    catalogInfo.hMemberFile = file.Handle();
    catalogInfo.pbCalculatedFileHash = hash.data();
    catalogInfo.cbCalculatedFileHash = static_cast<DWORD>(hash.size());
    WINTRUST_DATA byCatalog = {};
    byCatalog.dwUnionChoice = WTD_CHOICE_CATALOG;
    byCatalog.pCatalog = &catalogInfo;
    trust = Verify(byCatalog, &signer);
    return SignatureVerdictOf(trust, signer, "catalog " + Utf8(info.wszCatalogFile));
}
