// How the results of the library's operations are told, in the words the
// console and the library app both show: prune's plan and outcome, and
// what restore did.
#pragma once

#include <string>

#include "library/prune.h"
#include "library/restore.h"
#include "program/game_setup.h"
#include "program/jobs.h"

// How a wrong policy is told: by the console's option names, or by the
// labels of the library app's Tidy form.
struct ra_prune_words {
    const char *keep, *max_size, *older_than;  // each policy's name
    const char *none;                          // no policy given
    bool console;                              // point to prune --help
};
extern const ra_prune_words ra_prune_console_words;

// prune's policies from the job's options; ra_exit_ok, or a usage error
// said in out in those words.
int ra_prune_policy_of(const ra_prune_job &job, ra_prune_policy *policy, ra_output *out,
                       const ra_prune_words &words = ra_prune_console_words);

// The warning that prune leaves the replays alone that were saved while
// Record was 0, when the settings say so and Dir has a record.
void ra_warn_unrecorded(const ra_game_setup &setup, ra_output *out);

// What prune found and did in Dir (shown as `shown`); the exit status.
int ra_print_prune(const ra_prune_result &result, const std::string &shown, ra_output *out);

// What restore of `asked` (as the player named it) did; the exit status.
int ra_print_restore(const ra_restore_result &result, const std::string &asked, ra_output *out);
