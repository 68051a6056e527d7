// serve: the library app. The library page, from the same code as page,
// served on this computer alone with buttons that watch, keep and tidy
// replays (serve/app_server.h). Every connection passes the front door
// (serve/front_door.h), which reads its request head without giving it a
// thread; every request then passes the gate (serve/request_rules.h,
// serve/app_gate.h) before any handler of the route table
// (serve/route_table.h) runs. This job reads the options and starts it.
#include <stdio.h>

#include <string>

#include "platform/console.h"
#include "jobs/job_serve.h"
#include "serve/app_server.h"

namespace {

void ra_say(const std::string &text) { ra_write_text(stdout, text); }

}  // namespace

int ra_run_serve(const ra_serve_job &job, ra_output *out) {
    ra_app_start start;
    start.ini = job.ini;
    start.open = job.open;
    start.say = ra_say;
    if (!job.port.empty()) {
        uint64_t n = 0;
        bool digits = job.port.find_first_not_of("0123456789") == std::string::npos;
        if (!digits || job.port.size() > 5 || (n = std::stoull(job.port)) < 1 || n > 65535) {
            return ra_fail(out, "--port wants a port number from 1 to 65535, not " + job.port,
                           ra_exit_usage);
        }
        start.port = (int)n;
    }
    return ra_run_app(start, out);
}

// The row of serve.
#include "program/command_row.h"
#include "program/commands.h"

namespace {

void ra_serve_options(CLI::App *sub, ra_serve_job *job) {
    sub->add_option("--port", job->port, "listen on this port (default: a free one)")
        ->type_name("N");
    sub->add_flag_callback(
        "--no-open", [job] { job->open = false; }, "do not open it in the default browser");
}

}  // namespace

const ra_command ra_serve_command =
    ra_command_row<ra_serve_job, ra_serve_options, nullptr, ra_run_serve>(
        "serve", "the library app: the library page in the browser, with Watch, Keep and Tidy");
