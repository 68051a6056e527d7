// Repair: the record read, planned in the plug-in's form, told, then put
// in place.
#include "actions/repair_action.h"

#include <string.h>

#include <string>
#include <system_error>
#include <vector>

#include "autosave/autosave.h"
#include "library/record/csv.h"
#include "platform/file_system.h"
#include "platform/game_paths.h"
#include "platform/game_text.h"
#include "library/record/record_writer.h"
#include "library/record/record_reader.h"

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

// What a repair changes: the file as the plug-in would have written it, in
// the game's bytes (a spreadsheet may have saved it in UTF-8).
struct ra_repair_plan {
    std::string repaired;         // the new text
    bool header_changes = false;  // the header is written whole
    int changed = 0;              // lines written in the plug-in's form
    int first_changed = 0;        // the first of them, by its number
};

// The record's text as the plug-in writes it. False with the line whose
// letter the code page cannot spell in *out.
bool ra_plan_repair(const std::string &text, const ra_records &records, const std::string &shown,
                    ra_repair_plan *plan, ra_action_said *out) {
    const std::vector<std::string> raw = ra_raw_lines(text);
    plan->repaired = ra_plugin_header();
    plan->header_changes = text.compare(0, plan->repaired.size(), plan->repaired) != 0;
    for (const ra_record &r : records.lines) {
        std::string line;
        if (!ra_game_bytes(ra_plugin_form(r), &line)) {
            // Written back, the letter would be lost for good: the file stays.
            out->stop(ra_action_end::failed,
                      "line " + std::to_string(r.line) + " of " + shown +
                          " holds a letter this system's code page cannot spell, in "
                          "which the plug-in writes the record; change it to one it "
                          "can (or remove the line), then repair again; nothing changed");
            return false;
        }
        if ((size_t)r.line >= raw.size() || raw[(size_t)r.line] + "\r\n" != line) {
            if (plan->changed++ == 0) plan->first_changed = r.line;
        }
        plan->repaired += line;
    }
    return true;
}

// What the repair changes, line by line, as the player reads it.
std::string ra_repair_report(const ra_repair_plan &plan, const ra_records &records,
                             const std::string &shown, bool apply) {
    std::string said =
        std::string(apply ? "Repairing " : "A repair would rewrite ") + shown + ":\n";
    if (plan.header_changes) said += "  the header: written whole, as the plug-in writes it\n";
    if (plan.changed > 0) {
        said += "  " + std::to_string(plan.changed) + (plan.changed == 1 ? " line" : " lines") +
                " written in the plug-in's form (the first is line " +
                std::to_string(plan.first_changed) + ")\n";
    }
    const size_t kept = records.lines.size() - (size_t)plan.changed;
    if (kept > 0) {
        said += "  " + std::to_string(kept) + (kept == 1 ? " line" : " lines") + " as they are\n";
    }
    if (!records.skipped.empty()) {
        std::string which;
        for (size_t i = 0; i < records.skipped.size() && i < 10; ++i) {
            which += (i ? ", " : "") + std::to_string(records.skipped[i]);
        }
        if (records.skipped.size() > 10) which += " ...";
        const bool one = records.skipped.size() == 1;
        said += "  " + std::to_string(records.skipped.size()) +
                (one ? " line that cannot be read left out (line "
                     : " lines that cannot be read left out (lines ") +
                which + "); the old file keeps " + (one ? "it\n" : "them\n");
    }
    return said;
}

// Puts the repaired text in place of the record (read as text): the old
// file is kept first, the new one written beside it and moved over it in
// one rename, unless a race was saved meanwhile. False with *out's problem,
// and then the record is as it was.
bool ra_put_repaired(const fs::path &path, const std::string &text, const std::string &repaired,
                     const std::string &shown, ra_action_said *out) {
    std::string error, why;
    std::error_code failed;
    fs::path backup, temp = path;
    temp += ra_repair_temp_suffix;
    if (!ra_keep_backup(path, &backup, &error)) {
        out->stop(ra_action_end::failed, error);
        return false;
    }
    if (!ra_save_file(temp, repaired, &why)) {
        fs::remove(temp, failed);
        out->stop(ra_action_end::failed, "cannot write " + ra_text(temp) + ": " + why +
                                             "; nothing changed (" + ra_text(backup) +
                                             " is a copy of the old file)");
        return false;
    }
    // A race saved meanwhile added a line that the repaired text lacks.
    std::string now;
    if (!ra_load_file(path, &now, &why) || now != text) {
        fs::remove(temp, failed);
        out->stop(ra_action_end::failed,
                  shown +
                      " changed while it was repaired (was a race saved?); nothing "
                      "changed: run the repair again");
        return false;
    }
    if (!ra_move_file(temp, path, &why)) {
        fs::remove(temp, failed);
        out->stop(ra_action_end::failed, "cannot put the repaired file in place of " + shown +
                                             ": " + why + "; nothing changed");
        return false;
    }
    out->said += "Done: the old file is kept as " + ra_text(backup) + ".\n";
    return true;
}

}  // namespace

ra_action_said ra_repair_action(const ra_game_setup &setup, bool apply) {
    ra_action_said out;
    const fs::path path = setup.dir / ra_records_file;
    const std::string shown = ra_text(path);
    std::error_code failed;
    if (!fs::exists(path, failed)) {
        return out.stop(ra_action_end::failed, "there is no " + shown + " to repair");
    }
    std::string text, why;
    if (!ra_load_file(path, &text, &why)) {
        return out.stop(ra_action_end::failed, "cannot read " + shown + ": " + why);
    }
    ra_records records;
    ra_parse_records(text, shown, &records);
    out.warnings = records.warnings;
    if (records.lines.empty() && !records.skipped.empty()) {
        return out.stop(ra_action_end::failed, "no line of " + shown +
                                                   " can be read, so a repair would keep "
                                                   "nothing; nothing changed");
    }
    ra_repair_plan plan;
    if (!ra_plan_repair(text, records, shown, &plan, &out)) return out;
    if (plan.repaired == text) {
        out.said = shown + " is in the plug-in's form already: nothing to repair.\n";
        return out;
    }
    out.said = ra_repair_report(plan, records, shown, apply);
    if (!apply) {
        out.said += "Nothing changed: run \"" + std::string(ra_program) +
                    " repair --apply\" to repair it (the old file is kept as " +
                    std::string(ra_records_file) + ra_backup_suffix + ").\n";
        return out;
    }
    // Every line that was read must be read back the same from the new text.
    ra_records check;
    ra_parse_records(plan.repaired, shown, &check);
    if (check.lines.size() != records.lines.size() || !check.warnings.empty()) {
        return out.stop(ra_action_end::failed, "the repaired text of " + shown +
                                                   " would not read back whole; nothing changed");
    }
    ra_put_repaired(path, text, plan.repaired, shown, &out);
    return out;
}
