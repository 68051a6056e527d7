// page: the library as a web page (library_page.h), written into Dir or
// where --out says, and shown in the browser with --open.

#include "jobs/job_page.h"

#include <string>
#include <system_error>

#include "platform/browser.h"
#include "platform/file_system.h"
#include "platform/game_paths.h"
#include "program/command_row.h"
#include "program/commands.h"
#include "program/game_setup.h"
#include "program/open_library.h"
#include "library/page/library_page.h"
#include "library/text/local_time.h"
#include "library/replays/replays.h"

namespace fs = std::filesystem;

namespace {

// The whole text into the file; false with *error when it is not all written.
bool ra_write_page(const fs::path &path, const std::string &text, std::string *error) {
    std::string why;
    if (ra_save_file(path, text, &why)) return true;
    *error = "cannot write " + ra_text(path) + ": " + why;
    return false;
}

}  // namespace

int ra_run_page(const ra_page_job &job, ra_output *out) {
    ra_game_setup setup;
    ra_replay_list list;
    int status = ra_open_library(job.ini, &setup, &list, out);
    if (status != ra_exit_ok) return status;
    std::string shown = ra_text(setup.dir);
    std::string error;

    // --out names the file, or a folder to put replays.html in.
    std::error_code failed;
    fs::path page = setup.dir / ra_page_file;
    if (!job.out.empty()) {
        page = ra_path(job.out);
        if (fs::is_directory(page, failed)) page /= ra_page_file;
    }
    page = fs::absolute(page, failed);
    if (!ra_write_page(page, ra_library_page(list, shown, ra_format_time(ra_local_now())),
                       &error)) {
        return ra_fail(out, error, ra_exit_failed);
    }
    out->out += ra_text(page) + "\n";
    if (job.open && !ra_open_in_browser(page, &error)) {
        return ra_fail(out, error + " (" + ra_text(page) + ")", ra_exit_failed);
    }
    return ra_exit_ok;
}

// The row of page.
namespace {

void ra_page_options(CLI::App *sub, ra_page_job *job) {
    sub->add_option("--out", job->out, "write the page here instead (a file or a folder)");
    sub->add_flag("--open", job->open, "then open it in the default browser (Windows)");
}

}  // namespace

const ra_command ra_page_command =
    ra_command_row<ra_page_job, ra_page_options, nullptr, ra_run_page>(
        "page", "write the library as a web page, replays.html in Dir, and print its path");
