// Paths as the game and the plug-in write them, on this system, and the
// program's own texts of paths, which are UTF-8 (platform/game_text.h turns
// the game's bytes into them). The plug-in takes Dir and the game's replay
// folder as Windows paths ("\" and "/" both separate, relative ones start
// in the game's folder, which is its current folder). One source per
// platform, chosen by the build: platform/win/game_paths.cpp (the wide
// form of every name), platform/linux/game_paths.cpp (the Windows
// stand-ins' rules).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

// The path a text names, exactly: on Windows through its wide form.
std::filesystem::path ra_path(const std::string &text);

// The program's arguments as texts. On Windows they come from the wide
// command line, so that a path the code page cannot spell (a user folder
// named with a Polish letter on a Windows-1252 system, where argv holds a
// best-fit or "?" spelling) keeps its exact spelling.
std::vector<std::string> ra_arguments(int argc, char **argv);

// The text of a path, for messages and for comparing names: ra_path of it
// names the same path again.
std::string ra_text(const std::filesystem::path &path);

// The path the game or the plug-in names (Dir, a replay's source, as text),
// relative to the game's folder `game` unless it is absolute.
std::filesystem::path ra_game_path(const std::filesystem::path &game,
                                   const std::string &windows_path);
