// The library's entry point on Windows. It keeps no per-thread state, so the
// loader need not call it for every thread a host starts and ends.

#include "port/winapi.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}
