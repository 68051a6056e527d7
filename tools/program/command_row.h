// How a jobs/job_*.cpp makes its row: the command's options bound to its
// own job struct (Job), a check of what CLI11 lets through, and its run,
// typed; the row keeps them behind the untyped job of ra_command. Every
// job struct has an ini, so every command takes --ini.
#pragma once

#include <any>
#include <string>
#include <type_traits>

#include <CLI/CLI.hpp>

#include "program/command.h"

// The help line of --ini, which every command takes.
inline constexpr char ra_ini_help[] =
    "the replay_autosave.ini to use (default: the one next to this program)";

// Options adds the command's options to sub, bound to *job (--ini comes
// after them); Refuse, when not null, says what is wrong with arguments
// CLI11 accepted; Run is the job's ra_run_*, with or without the ra_start.
template <class Job, void (*Options)(CLI::App *sub, Job *job),
          std::string (*Refuse)(const CLI::App &sub, Job *job), auto Run>
constexpr ra_command ra_command_row(const char *name, const char *summary,
                                    const char *usage = nullptr, const char *footer = nullptr) {
    auto define = [](CLI::App *sub, std::any *job) {
        Job *typed = &job->emplace<Job>();
        Options(sub, typed);
        sub->add_option("--ini", typed->ini, ra_ini_help);
    };
    auto refuse = [](const CLI::App &sub, std::any *job) -> std::string {
        if constexpr (Refuse == nullptr) {
            return "";
        } else {
            return Refuse(sub, std::any_cast<Job>(job));
        }
    };
    auto run = [](const std::any &job, const ra_start &start, ra_output *out) -> int {
        const Job &typed = *std::any_cast<Job>(&job);
        if constexpr (std::is_invocable_v<decltype(Run), const Job &, const ra_start &,
                                          ra_output *>) {
            return Run(typed, start, out);
        } else {
            return Run(typed, out);
        }
    };
    return ra_command{name, summary, usage, footer, define, refuse, run};
}
