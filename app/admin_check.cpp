// Asks whether the tool's token is an administrator's.
#include "admin_check.h"

#include <windows.h>

bool IsAdmin = false;

bool IsRunningAsAdmin() {
    SID_IDENTIFIER_AUTHORITY ntAuthority = {SECURITY_NT_AUTHORITY};
    PSID administrators = NULL;
    if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                  DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &administrators)) {
        return false;
    }
    BOOL member = FALSE;
    const bool isMember = CheckTokenMembership(NULL, administrators, &member) && member;
    FreeSid(administrators);
    return isMember;
}
