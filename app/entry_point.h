#pragma once

#include <windows.h>

// Gives an address found by GetProcAddress the function type it has. The detour through a
// plain function pointer type keeps the cast between function types free of warnings.
template <typename Function> Function EntryPoint(FARPROC address) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}
