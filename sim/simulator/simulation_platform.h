// What a run of the simulated game needs from the system under it, one
// source per system under this header's name: linux/ (the Windows stand-ins
// on Linux) and win/ (Windows itself). Paths are Windows paths, relative to
// the game folder or absolute, as the game holds them.
#pragma once

#include <windows.h>

#include <string>

// Makes the game folder the current directory, keeping the previous one in
// *previous; false with *error when it cannot be entered. The plug-in then
// finds its settings beside the game's executable.
bool sim_enter_game_folder(const std::string &game_dir, std::string *previous, std::string *error);
// Back to the directory sim_enter_game_folder left; false when that fails.
bool sim_leave_game_folder(const std::string &previous);

// The local time the plug-in reads from now on: *time, or the real clock
// (null). Where the clock cannot be fixed it always follows the real one.
void sim_use_clock(const SYSTEMTIME *time);

// Makes every level of a folder that does not exist yet; false when one
// cannot be made.
bool sim_make_game_folders(const std::string &windows_folder);

// The game's own save of its replay file: writes bytes to the file, past
// the plug-in's view (not counted as its calls, never failed by its
// injected faults). False with the file's name in *shown when it fails.
bool sim_write_game_file(const std::string &windows_path, const std::string &bytes,
                         std::string *shown);
