// What an action of the companion tells the player, whoever asked for it:
// the command line prints it, the library app answers it as JSON. Every
// action in this folder returns its own result with one of these in it,
// and prints nothing itself, so that a job and the app say the same thing.
#pragma once

#include <string>
#include <vector>

// How an action ended.
enum class ra_action_end {
    done,     // it did what was asked, or found nothing to do
    refused,  // what was asked cannot be done as asked: problem says what to ask instead
    failed,   // the disk, the game or the record stopped it: problem says what
};

// Who asked: the few sentences that name an option or a button differ.
enum class ra_front { console, app };

struct ra_action_said {
    ra_action_end end = ra_action_end::done;
    std::string said;                   // lines for the player, each ending "\n"
    std::vector<std::string> warnings;  // one sentence each, told before the rest
    std::string problem;                // refused, failed: why, in one sentence

    bool ok() const { return end == ra_action_end::done; }
    // Ends the action with problem; the result, for a one-line return.
    ra_action_said &stop(ra_action_end how, const std::string &why) {
        end = how;
        problem = why;
        return *this;
    }
};

// The name the program gives itself in messages.
extern const char ra_program[];

// "... a name that "replay-autosave list" shows": how the player finds a name.
std::string ra_list_shows(void);
