// Removing the replays prune gives up: on Windows into the Recycle Bin, so
// that a player who changes his mind can put them back; elsewhere they are
// deleted. One source per platform, chosen by the build:
// platform/win/remove.cpp, platform/linux/remove.cpp.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

// What became of a removed file, for messages: "moved to the Recycle Bin".
extern const char ra_removed_how[];

// Where a replay that prune removed can be found again, as the end of a
// sentence ("; prune moves ... Recycle Bin ..."); empty where it is deleted.
extern const char ra_removed_where[];

// Removes the files (absolute paths of regular files). One entry per file,
// in the same order: empty when the file is gone, else why it is not.
std::vector<std::string> ra_remove_files(const std::vector<std::filesystem::path> &files);

// Removes a whole folder (an absolute path of a plain folder, never a
// link): on Windows into the Recycle Bin, as one item that the player can
// put back whole. Empty when it is gone, else why it is not.
std::string ra_remove_folder(const std::filesystem::path &folder);
