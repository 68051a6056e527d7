// Entry function of the shipped DLL. The plug-in does no work of its own
// until VQ_Apply: there is no C runtime start-up and nothing to initialise.
#include <windows.h>

extern "C" BOOL WINAPI ra_dll_entry(HINSTANCE, DWORD, LPVOID) { return TRUE; }
