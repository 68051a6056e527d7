// Names of files as the game's system compares them: letter case does not
// count. Folded by the plug-in's own rule (ra_upper), so that the companion
// and the plug-in never disagree on whether two names are one.
#pragma once

#include <string>

// name with 'a'..'z' folded to upper case; other bytes as they are.
std::string ra_folded_name(const std::string &name);
