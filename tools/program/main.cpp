// replay-autosave: the players' companion of the replay autosave plug-in.
// "check" shows what the plug-in will make of a replay_autosave.ini before a
// race, "list" shows the replays it saved, "restore" makes the game play one
// of them again, and so on: invocation.cpp reads the command line, and the
// table ra_jobs below runs the job it names (one source each in jobs/).
// Without a command line, as a double click or a file dropped on the
// Windows program starts it, it does what the player most likely wants
// (see invocation.h).
#include <stdio.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/check_platform.h"
#include "platform/console.h"
#include "platform/game_paths.h"
#include "program/invocation.h"
#include "program/jobs.h"

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
int ra_check_and_list(const ra_invocation &inv, ra_output *) {
    ra_output checked_output;
    int checked = ra_print(checked_output, ra_run_check(inv.check, &checked_output));
    ra_output listing;
    listing.out = "\n";
    int listed = ra_print(listing, ra_run_list(inv.list, &listing));
    int status = std::max(checked, listed);
    if (inv.dropped && ra_check_window_is_own()) {
        if (!ra_offer_library_app()) return status;
        ra_output served;
        return ra_print(served, ra_run_serve(inv.serve, &served));
    }
    return status;
}

// Each job as main runs it, from the command line's reading to the exit
// status, with what it has to say in the output.
using ra_runner = int (*)(const ra_invocation &inv, ra_output *out);
struct ra_job_entry {
    ra_job job;
    ra_runner run;
};
const ra_job_entry ra_jobs[] = {
    {ra_job::show_text,
     [](const ra_invocation &inv, ra_output *out) {
         out->out = inv.text;
         return (int)ra_exit_ok;
     }},
    {ra_job::usage_error,
     [](const ra_invocation &inv, ra_output *out) {
         out->err = inv.text;
         return (int)ra_exit_usage;
     }},
    {ra_job::check,
     [](const ra_invocation &inv, ra_output *out) { return ra_run_check(inv.check, out); }},
    {ra_job::list,
     [](const ra_invocation &inv, ra_output *out) { return ra_run_list(inv.list, out); }},
    {ra_job::restore,
     [](const ra_invocation &inv, ra_output *out) {
         // A dropped replay is checked whole before the question.
         ra_restore_hooks hooks;
         if (inv.dropped) hooks.confirm = ra_confirm_restore;
         return ra_run_restore(inv.restore, out, hooks);
     }},
    {ra_job::page,
     [](const ra_invocation &inv, ra_output *out) { return ra_run_page(inv.page, out); }},
    {ra_job::prune,
     [](const ra_invocation &inv, ra_output *out) { return ra_run_prune(inv.prune, out); }},
    {ra_job::keep,
     [](const ra_invocation &inv, ra_output *out) { return ra_run_keep(inv.keep, out); }},
    {ra_job::repair,
     [](const ra_invocation &inv, ra_output *out) { return ra_run_repair(inv.repair, out); }},
    {ra_job::serve,
     [](const ra_invocation &inv, ra_output *out) { return ra_run_serve(inv.serve, out); }},
    {ra_job::check_and_list, ra_check_and_list},
};

int ra_run(const ra_invocation &inv) {
    for (const ra_job_entry &entry : ra_jobs) {
        if (entry.job != inv.job) continue;
        ra_output output;
        int status = entry.run(inv, &output);
        return ra_print(output, status);
    }
    return ra_exit_usage;
}

}  // namespace

int main(int argc, char **argv) {
    ra_invocation inv = ra_parse_invocation(ra_arguments(argc, argv));
    int status = ra_run(inv);
    // A window opened for us alone stays open until the player has read it;
    // a double click's list has asked already.
    if (inv.job != ra_job::check_and_list) ra_check_hold_window();
    return status;
}
