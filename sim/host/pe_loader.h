// Loads a 32-bit Windows DLL (PE32, i386) into this 32-bit Linux process, so
// that the shipped plug-in file itself runs against the simulated game: the
// image is mapped, relocated when it cannot sit at its preferred base, its
// imports are bound to the Windows stand-ins of sim/win32 and to the C
// library, and its entry point is called. Every refusal is a message, never a
// crash: the file is checked before anything of it is used.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

// One import as the loader bound it.
struct sim_pe_import {
    std::string dll;    // as the image names it, e.g. "KERNEL32.dll"
    std::string name;   // the function's name
    uint32_t slot_rva;  // its entry in the image's import address table
    void *address;      // what the entry now holds
};

// A loaded image. Filled by sim_pe_load; base is null when nothing is loaded.
struct sim_pe_image {
    unsigned char *base = nullptr;  // where the image lies in memory
    uint32_t size = 0;              // bytes mapped (SizeOfImage, page-rounded)
    uint32_t preferred_base = 0;    // ImageBase of the file
    bool relocated = false;         // base differs from preferred_base
    uint32_t entry_rva = 0;         // 0 when the image has no entry point
    uint32_t export_rva = 0;        // export directory, 0 when absent
    uint32_t export_size = 0;
    std::vector<sim_pe_import> imports;       // every bound import, in file order
    std::vector<uint32_t> tls_callback_rvas;  // run before the entry point
    std::string path;                         // the file it came from
};

// Loads the DLL at path. On failure returns false, leaves out unloaded and
// puts a message that names the file and what is wrong in *error (if given).
// force_relocate maps the image away from its preferred base even when that
// is free, so that the relocation path runs.
bool sim_pe_load(const char *path, sim_pe_image *out, std::string *error,
                 bool force_relocate = false);

// Address of the export called name, or null with a message in *error: no
// such export, or a forwarder to another DLL, which this loader cannot follow.
void *sim_pe_export(const sim_pe_image &image, const char *name, std::string *error = nullptr);

// Names of all exports, in the image's (sorted) order.
std::vector<std::string> sim_pe_export_names(const sim_pe_image &image);

// Calls the TLS callbacks and the entry point with DLL_PROCESS_DETACH, then
// unmaps the image. Safe on an image that is not loaded.
void sim_pe_unload(sim_pe_image *image);

// What an import of dll!name is bound to (DLL name compared without regard to
// letter case), or null when the loader has no stand-in for it. KERNEL32
// functions are the stdcall stand-ins of sim/win32; msvcrt functions are
// cdecl and behave as the C library's.
void *sim_pe_binding(const char *dll, const char *name);

// True when the loader binds any function of dll (letter case ignored).
bool sim_pe_dll_known(const char *dll);
