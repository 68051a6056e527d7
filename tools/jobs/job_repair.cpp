// repair: writes replays.csv back in the plug-in's own form (commas, times
// as YYYY-MM-DD HH:MM:SS, the full header, CR LF, the game's code page)
// after a spreadsheet or a hand edit changed it, so that every line is read
// again as the plug-in wrote it. Without --apply it only says what it would change. The old file
// is kept beside it under a name no older backup has, and the new one takes
// its place in one rename, so that at no time is the record half written.
#include <string.h>

#include <string>
#include <system_error>
#include <vector>

#include "autosave/autosave.h"
#include "library/csv.h"
#include "platform/file_system.h"
#include "platform/game_paths.h"
#include "platform/game_text.h"
#include "program/command_row.h"
#include "program/commands.h"
#include "program/game_setup.h"
#include "program/jobs.h"
#include "library/record_writer.h"
#include "library/records.h"

namespace fs = std::filesystem;

namespace {

// The backup's name; later ones get a number before the extension.
const char ra_backup_suffix[] = ".bak";
// The new text is written here first, beside the record.
const char ra_repair_temp_suffix[] = ".repair";
// Backup names tried before giving up: replays.csv.bak, replays.csv.1.bak ...
const int ra_backup_tries = 1000;

std::string ra_plugin_header(void) {
    char buf[RA_RECORD_BUF];
    uint32_t fill = 0;
    ra_record_header(buf, &fill);
    return std::string(buf, fill);
}

// The lines of the text as they are, by their number (1-based; [0] unused).
std::vector<std::string> ra_raw_lines(const std::string &text) {
    std::vector<std::string> lines(1);
    ra_csv_lines at;
    at.text = &text;
    const char *begin, *end;
    while (ra_csv_next_line(&at, &begin, &end)) lines.emplace_back(begin, end);
    return lines;
}

// The first free backup name beside path: path.bak, then path.1.bak ...
// Copied, never replacing an older backup; false with *error.
bool ra_keep_backup(const fs::path &path, fs::path *backup, std::string *error) {
    std::string why;
    for (int n = 0; n < ra_backup_tries; ++n) {
        fs::path name = path;
        name += (n == 0 ? "" : "." + std::to_string(n)) + ra_backup_suffix;
        std::error_code failed;
        if (fs::exists(name, failed) || failed) continue;
        if (ra_copy_file(path, name, false, &why)) {
            *backup = name;
            return true;
        }
        if (fs::exists(name, failed)) continue;  // made meanwhile by another program
        *error = "cannot keep the old file as " + ra_text(name) + ": " + why + "; nothing changed";
        return false;
    }
    *error = "no free name for the old file beside " + ra_text(path) +
             " (remove old replays.csv backups); nothing changed";
    return false;
}

}  // namespace

int ra_run_repair(const ra_repair_job &job, ra_output *out) {
    ra_game_setup setup;
    std::string error;
    if (!ra_load_setup(job.ini, &setup, &error)) return ra_fail(out, error, ra_exit_usage);
    const fs::path path = setup.dir / ra_records_file;
    const std::string shown = ra_text(path);
    std::error_code failed;
    if (!fs::exists(path, failed)) {
        return ra_fail(out, "there is no " + shown + " to repair", ra_exit_failed);
    }
    std::string text, why;
    if (!ra_load_file(path, &text, &why)) {
        return ra_fail(out, "cannot read " + shown + ": " + why, ra_exit_failed);
    }
    ra_records records;
    ra_parse_records(text, shown, &records);
    for (const std::string &w : records.warnings) out->err += "warning: " + w + "\n";
    if (records.lines.empty() && !records.skipped.empty()) {
        return ra_fail(
            out,
            "no line of " + shown + " can be read, so a repair would keep nothing; nothing changed",
            ra_exit_failed);
    }

    // The file as the plug-in would have written it, in the game's bytes
    // (a spreadsheet may have saved it in UTF-8), and what that changes.
    const std::vector<std::string> raw = ra_raw_lines(text);
    std::string repaired = ra_plugin_header();
    const bool header_changes = text.compare(0, repaired.size(), repaired) != 0;
    int changed = 0, first_changed = 0;
    for (const ra_record &r : records.lines) {
        std::string line;
        if (!ra_game_bytes(ra_plugin_form(r), &line)) {
            // Written back, the letter would be lost for good: the file stays.
            return ra_fail(out,
                           "line " + std::to_string(r.line) + " of " + shown +
                               " holds a letter this system's code page cannot spell, in "
                               "which the plug-in writes the record; change it to one it "
                               "can (or remove the line), then repair again; nothing changed",
                           ra_exit_failed);
        }
        if ((size_t)r.line >= raw.size() || raw[(size_t)r.line] + "\r\n" != line) {
            if (changed++ == 0) first_changed = r.line;
        }
        repaired += line;
    }
    if (repaired == text) {
        out->out += shown + " is in the plug-in's form already: nothing to repair.\n";
        return ra_exit_ok;
    }

    out->out += std::string(job.apply ? "Repairing " : "A repair would rewrite ") + shown + ":\n";
    if (header_changes) out->out += "  the header: written whole, as the plug-in writes it\n";
    if (changed > 0) {
        out->out += "  " + std::to_string(changed) + (changed == 1 ? " line" : " lines") +
                    " written in the plug-in's form (the first is line " +
                    std::to_string(first_changed) + ")\n";
    }
    const size_t kept = records.lines.size() - (size_t)changed;
    if (kept > 0) {
        out->out +=
            "  " + std::to_string(kept) + (kept == 1 ? " line" : " lines") + " as they are\n";
    }
    if (!records.skipped.empty()) {
        std::string which;
        for (size_t i = 0; i < records.skipped.size() && i < 10; ++i) {
            which += (i ? ", " : "") + std::to_string(records.skipped[i]);
        }
        if (records.skipped.size() > 10) which += " ...";
        const bool one = records.skipped.size() == 1;
        out->out += "  " + std::to_string(records.skipped.size()) +
                    (one ? " line that cannot be read left out (line "
                         : " lines that cannot be read left out (lines ") +
                    which + "); the old file keeps " + (one ? "it\n" : "them\n");
    }
    if (!job.apply) {
        out->out += "Nothing changed: run \"" + std::string(ra_program) +
                    " repair --apply\" to repair it (the old file is kept as " +
                    std::string(ra_records_file) + ra_backup_suffix + ").\n";
        return ra_exit_ok;
    }

    // Every line that was read must be read back the same from the new text.
    ra_records check;
    ra_parse_records(repaired, shown, &check);
    if (check.lines.size() != records.lines.size() || !check.warnings.empty()) {
        return ra_fail(
            out, "the repaired text of " + shown + " would not read back whole; nothing changed",
            ra_exit_failed);
    }
    fs::path backup, temp = path;
    temp += ra_repair_temp_suffix;
    if (!ra_keep_backup(path, &backup, &error)) return ra_fail(out, error, ra_exit_failed);
    if (!ra_save_file(temp, repaired, &why)) {
        fs::remove(temp, failed);
        return ra_fail(out,
                       "cannot write " + ra_text(temp) + ": " + why + "; nothing changed (" +
                           ra_text(backup) + " is a copy of the old file)",
                       ra_exit_failed);
    }
    // A race saved meanwhile added a line that the repaired text lacks.
    std::string now;
    if (!ra_load_file(path, &now, &why) || now != text) {
        fs::remove(temp, failed);
        return ra_fail(out,
                       shown +
                           " changed while it was repaired (was a race saved?); nothing "
                           "changed: run the repair again",
                       ra_exit_failed);
    }
    if (!ra_move_file(temp, path, &why)) {
        fs::remove(temp, failed);
        return ra_fail(
            out,
            "cannot put the repaired file in place of " + shown + ": " + why + "; nothing changed",
            ra_exit_failed);
    }
    out->out += "Done: the old file is kept as " + ra_text(backup) + ".\n";
    return ra_exit_ok;
}

// The row of repair.
namespace {

void ra_repair_options(CLI::App *sub, ra_repair_job *job) {
    sub->add_flag("--apply", job->apply,
                  "write it (the old file is kept as replays.csv.bak); without it, only show "
                  "what would change");
}

}  // namespace

const ra_command ra_repair_command =
    ra_command_row<ra_repair_job, ra_repair_options, nullptr, ra_run_repair>(
        "repair", "write replays.csv back in the plug-in's form after a spreadsheet changed it");
