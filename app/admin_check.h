// Whether the tool runs elevated, decided at start-up.
#pragma once

// Whether the tool runs with an administrator token; set at start-up, before the dialog exists.
extern bool IsAdmin;

// Membership of the effective token in the local Administrators group; false on any failure.
bool IsRunningAsAdmin();
