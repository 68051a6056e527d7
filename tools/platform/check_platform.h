// What the check tool does differently on Linux (the Windows stand-ins of
// sim/win32) and on Windows (the real system). One source per platform,
// chosen by the build: platform/linux/check_platform.cpp,
// platform/win/check_platform.cpp.
#pragma once

#include <stdint.h>
#include <windows.h>

#include <string>

#include "snapshot/race_context.h"

// "replay_autosave.ini" in the folder of the running program, as the
// program's text (UTF-8); empty when that folder cannot be found.
std::string ra_check_default_ini(void);

// The path as the profile services must be given it to open the file the
// player named (Windows looks for a bare file name in its own folder); both
// in the game's bytes, which the profile services take.
std::string ra_check_profile_path(const std::string &path);

// When the program's console window is its own (started by a double click,
// not from a command prompt), waits for Enter so that the player can read
// the report before the window closes. Nothing on Linux.
void ra_check_hold_window(void);

// True when the program's console window is its own, as after a double
// click; false from a command prompt, and always on Linux.
bool ra_check_window_is_own(void);
