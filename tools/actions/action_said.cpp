// The words every action shares.
#include "actions/action_said.h"

const char ra_program[] = "replay-autosave";

std::string ra_list_shows(void) {
    return "a name that \"" + std::string(ra_program) + " list\" shows";
}
