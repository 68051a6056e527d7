// Helpers shared by the check tool's sources; not part of its interface.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "check/check.h"
#include "check/setting_names.h"
#include "settings/settings.h"
#include "snapshot/race_context.h"

// The key column's word for the plug-in's built-in template.
extern const char ra_check_builtin[];

// The warnings about the loaded settings and the INI text; example is a race
// context filled for a real race, used to see whether names change.
void ra_check_warnings(const ra_settings &settings, const ra_check_ini &ini, const ra_ctx &example,
                       std::vector<std::string> *warnings);

// The warnings about Dir itself (check_dir.cpp): a drive that does not
// exist, a file where one of its folders should be, a folder this account
// may not write. game_folder: the folder relative Dirs start in, ending in a
// separator, or empty for the current folder.
void ra_check_dir_warnings(const ra_settings &settings, const std::string &game_folder,
                           std::vector<std::string> *warnings);

// The warnings that need the names of every race type code: names that are
// the game's own replay (source), and IndexStart without "%index%" in any
// template used (used: the keys that serve a code, "built-in" included).
void ra_check_name_warnings(const ra_settings &settings, const ra_check_ini &ini,
                            const std::vector<ra_check_name> &names,
                            const std::vector<std::string> &used, const std::string &source,
                            std::vector<std::string> *warnings);
