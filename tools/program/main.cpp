// replay-autosave: the players' companion of the replay autosave plug-in.
// "check" shows what the plug-in will make of a replay_autosave.ini before a
// race, "list" shows the replays it saved, "restore" makes the game play one
// of them again, and so on: invocation.cpp reads the command line, and the
// row of the command it names (commands.h, one source each in jobs/) runs
// the job. Without a command line, as a double click or a file dropped on
// the Windows program starts it, it does what the player most likely wants
// (see invocation.h).
#include <stdio.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/check_platform.h"
#include "platform/console.h"
#include "platform/game_paths.h"
#include "program/commands.h"
#include "program/invocation.h"
#include "jobs/job_restore.h"
#include "jobs/job_share.h"

namespace {

int ra_print(const ra_output &output, int status) {
    ra_write_text(stderr, output.err);
    ra_write_text(stdout, output.out);
    return status;
}

// A dropped replay is restored only after the player says so: true on Enter,
// false when the input ends (the window was closed).
bool ra_confirm_restore(const std::string &name) {
    ra_write_text(stdout, "Press Enter to let the game play " + name + ", or close this window.");
    bool go = true;
    for (int c = getchar(); c != '\n'; c = getchar()) {
        if (c == EOF) {
            go = false;
            break;
        }
    }
    // A line of its own, whether or not the console echoed the Enter.
    ra_write_text(stdout, "\n");
    return go;
}

// What the player does with replays dropped on the program.
enum class ra_drop_choice { nothing, watch, share };

// Asked in the program's window: W and Enter to watch (one replay only), S
// and Enter to share; anything else, or the window closed, does nothing.
ra_drop_choice ra_choose_for_drop(size_t replays) {
    ra_write_text(stdout, std::string(replays == 1 ? "W and Enter: the game plays this replay next "
                                                     "time.\n"
                                                   : "W: the game plays one replay at a time; drop "
                                                     "one to watch it.\n") +
                              "S and Enter: share " + (replays == 1 ? "it" : "them") +
                              " with a friend (a .rpshare beside " +
                              (replays == 1 ? "it" : "them") +
                              ", after what it gives away).\nEnter alone, or close this window: "
                              "nothing.\n");
    std::string line;
    for (int c = getchar(); c != '\n' && c != EOF; c = getchar()) line += (char)c;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if ((line == "w" || line == "W") && replays == 1) return ra_drop_choice::watch;
    if (line == "s" || line == "S") return ra_drop_choice::share;
    return ra_drop_choice::nothing;
}

// The folder of a dropped file as Explorer gave it, either slash; empty
// for a bare name.
std::string ra_folder_of(const std::string &file) {
    size_t slash = file.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : file.substr(0, slash + 1);
}

// Replays dropped: watched or shared as the player chooses.
int ra_run_dropped_replays(const ra_dropped_replays_job &dropped) {
    ra_output output;
    switch (ra_choose_for_drop(dropped.files.size())) {
    case ra_drop_choice::watch: {
        // Chosen already: restore asks no second question.
        ra_restore_job job;
        job.file = dropped.files.front();
        return ra_print(output, ra_restore_command.run(job, ra_start(), &output));
    }
    case ra_drop_choice::share: {
        ra_share_job job;
        job.files = dropped.files;
        job.folder = ra_folder_of(dropped.files.front());
        return ra_print(output, ra_share_command.run(job, ra_start(), &output));
    }
    case ra_drop_choice::nothing:
        break;
    }
    output.out = "Nothing changed.\n";
    return ra_print(output, ra_exit_failed);
}

// After a double click's check and list, in the program's own window: the
// library app on "A" and Enter; true when the player chose it.
bool ra_offer_library_app() {
    ra_write_text(stdout,
                  "\nType A and press Enter to open your library app in the browser.\n"
                  "Press Enter to close this window.");
    std::string line;
    for (int c = getchar(); c != '\n' && c != EOF; c = getchar()) line += (char)c;
    return line == "a" || line == "A";
}

// The double click: the check, then the list, each printed as it is done,
// then in the program's own window the offer of the library app.
int ra_check_and_list(const ra_double_click_job &job, bool dropped) {
    ra_output checked_output;
    int checked = ra_print(checked_output, ra_run_check(job.check, &checked_output));
    ra_output listing;
    listing.out = "\n";
    int listed = ra_print(listing, ra_run_list(job.list, &listing));
    int status = std::max(checked, listed);
    if (dropped && ra_check_window_is_own()) {
        if (!ra_offer_library_app()) return status;
        ra_output served;
        return ra_print(served, ra_run_serve(job.serve, &served));
    }
    return status;
}

int ra_run(const ra_invocation &inv) {
    ra_output output;
    switch (inv.action) {
    case ra_action::run_command: {
        // A dropped replay is checked whole before the question.
        ra_start start;
        if (inv.dropped) start.confirm = ra_confirm_restore;
        int status = inv.command->run(inv.job, start, &output);
        return ra_print(output, status);
    }
    case ra_action::replays:
        return ra_run_dropped_replays(*ra_job_of<ra_dropped_replays_job>(inv));
    case ra_action::double_click:
        return ra_check_and_list(*ra_job_of<ra_double_click_job>(inv), inv.dropped);
    case ra_action::show_text:
        output.out = inv.text;
        return ra_print(output, ra_exit_ok);
    case ra_action::usage_error:
        output.err = inv.text;
        return ra_print(output, ra_exit_usage);
    }
    return ra_exit_usage;
}

}  // namespace

int main(int argc, char **argv) {
    ra_invocation inv = ra_parse_invocation(ra_arguments(argc, argv));
    int status = ra_run(inv);
    // A window opened for us alone stays open until the player has read it;
    // a double click's list has asked already.
    if (inv.action != ra_action::double_click) ra_check_hold_window();
    return status;
}
