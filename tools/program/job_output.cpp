// How a job prints an action's words.
#include "program/job_output.h"

int ra_fail(ra_output *out, const std::string &what, int status) {
    out->err += std::string(ra_program) + ": " + what + "\n";
    return status;
}

int ra_status_of(ra_action_end end) {
    switch (end) {
    case ra_action_end::done:
        return ra_exit_ok;
    case ra_action_end::refused:
        return ra_exit_usage;
    case ra_action_end::failed:
        break;
    }
    return ra_exit_failed;
}

int ra_tell(const ra_action_said &said, ra_output *out) {
    for (const std::string &w : said.warnings) out->err += "warning: " + w + "\n";
    out->out += said.said;
    const int status = ra_status_of(said.end);
    if (said.problem.empty()) return status;
    return ra_fail(out, said.problem, status);
}
