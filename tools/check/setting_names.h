// The companion's words for the plug-in's settings, spelled as the plug-in's
// own key table spells them, so a message never names a key the plug-in does
// not read: "Record", "Record = 1", "Dir in replay_autosave.ini".
#pragma once

#include <string>

#include "settings/settings.h"

// A key the plug-in reads besides the templates: "Record".
inline std::string ra_setting_name(ra_setting which) { return ra_setting_keys[which].key; }

// The INI line that sets it: "Record = 1".
inline std::string ra_setting_line(ra_setting which, int value) {
    return ra_setting_name(which) + " = " + std::to_string(value);
}

// Where a player changes it: "Record in replay_autosave.ini".
inline std::string ra_setting_place(ra_setting which) {
    return ra_setting_name(which) + " in " RA_INI_FILE;
}
