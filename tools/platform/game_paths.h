// Paths as the game and the plug-in write them, on this system. The plug-in
// takes Dir and the game's replay folder as Windows paths ("\" and "/" both
// separate, relative ones start in the game's folder, which is its current
// folder) and hands texts to the system's file functions in the system's
// code page. One source per platform, chosen by the build:
// platform/win/game_paths.cpp, platform/linux/game_paths.cpp (the Windows
// stand-ins' rules).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

// The path of a text as the plug-in's file functions would read it.
std::filesystem::path ra_path(const std::string &text);

// The program's arguments as texts in the system's code page. On Windows
// they come from the wide command line: a path the code page cannot spell
// (a user folder named with a Polish letter on a Windows-1252 system, where
// argv holds a best-fit or "?" spelling) keeps its exact spelling for
// ra_argument_path.
std::vector<std::string> ra_arguments(int argc, char **argv);

// The path an argument names: its exact spelling from the command line
// where the code page lost letters, else ra_path of the text.
std::filesystem::path ra_argument_path(const std::string &argument);

// The text of a path, for messages and for comparing names.
std::string ra_text(const std::filesystem::path &path);

// The path the game or the plug-in names (Dir, a replay's source), relative
// to the game's folder `game` unless it is absolute.
std::filesystem::path ra_game_path(const std::filesystem::path &game,
                                   const std::string &windows_path);
