// What every job shares.
#include "jobs.h"

const char ra_program[] = "replay-autosave";

int ra_fail(ra_output *out, const std::string &what, int status) {
    out->err += std::string(ra_program) + ": " + what + "\n";
    return status;
}

// Restore writes such files, prune leaves them alone.
const char ra_kept_prefix[] = "kept_";
