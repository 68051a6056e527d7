// Removing a friend: their whole folder in Friends\ goes, on Windows into
// the Recycle Bin (platform/remove.h), from where the player can put it
// back. Only a folder that ra_friend_folders lists is taken, never a link,
// and never while an import holds Friends\.
#pragma once

#include <filesystem>
#include <string>

// Removes Friends\<name> from dir. False with *error, one sentence, and
// then nothing was removed.
bool ra_remove_friend(const std::filesystem::path &dir, const std::string &name,
                      std::string *error);
