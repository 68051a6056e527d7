// The shipped DLL as the Windows simulator holds it: loaded by the system.
#pragma once

#include <windows.h>

struct sim_plugin_module {
    HMODULE handle = nullptr;
};
