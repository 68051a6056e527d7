// What a race type code says, in plain words, as far as the game tells us:
// one player or several (the game's M flag), a career race and its circuit
// type, and the game's race type number. The game gives no names for its
// race types, so none are made up here. The words come from the plug-in's
// own code builder: every input it knows is tried, and the code's meaning
// is the set of inputs that give it.
#pragma once

#include <string>

// "Race type 0, one player." for "SR"; empty for a text that is no code.
std::string ra_type_code_meaning(const std::string &code);
