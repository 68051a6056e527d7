// Paths as the game and the plug-in write them, on this system. The plug-in
// takes Dir and the game's replay folder as Windows paths ("\" and "/" both
// separate, relative ones start in the game's folder, which is its current
// folder) and hands texts to the system's file functions in the system's
// code page. One source per platform, chosen by the build:
// game_paths_win.cpp, game_paths_posix.cpp (the Windows stand-ins' rules).
#pragma once

#include <filesystem>
#include <string>

// The path of a text as the plug-in's file functions would read it.
std::filesystem::path ra_path(const std::string &text);

// The text of a path, for messages and for comparing names.
std::string ra_text(const std::filesystem::path &path);

// The path the game or the plug-in names (Dir, a replay's source), relative
// to the game's folder `game` unless it is absolute.
std::filesystem::path ra_game_path(const std::filesystem::path &game,
                                   const std::string &windows_path);
