// Gathering a share or a card from Dir: read, scrub, hash, and the report.
#include "friends/sharing.h"

#include <stdint.h>

#include <algorithm>
#include <map>
#include <system_error>

#include "autosave/autosave.h"
#include "check/setting_names.h"
#include "library/text/folded_name.h"
#include "library/replays/game_replay.h"
#include "library/text/local_time.h"
#include "library/record/record_schema.h"
#include "library/record/record_writer.h"
#include "library/replays/sha256.h"
#include "platform/file_system.h"
#include "platform/game_paths.h"
#include "snapshot/race_context.h"

namespace fs = std::filesystem;

namespace {

// What --hide-names calls the other racers, numbered as they first appear.
const char ra_rival_prefix[] = "Rival ";

std::string ra_plugin_header_text() {
    char buf[RA_RECORD_BUF];
    uint32_t fill = 0;
    ra_record_header(buf, &fill);
    return std::string(buf, fill);
}

// The replay as a share sends it: scrubbed by the plug-in's own code. Its
// addresses are counted by what the scrub changed: each cleared address is
// one run of changed bytes outside the block.
void ra_scrubbed(std::string *bytes, ra_shared_privacy *privacy) {
    const std::string before = *bytes;
    if (bytes->size() > UINT32_MAX) return;
    ra_scrub_bytes((uint8_t *)&(*bytes)[0], (uint32_t)bytes->size());
    bool in_run = false;
    for (size_t i = 0; i < bytes->size() && i < RA_SCRUB_REGION; ++i) {
        const bool in_block =
            i >= RA_SCRUB_BLOCK_OFFSET && i < RA_SCRUB_BLOCK_OFFSET + RA_SCRUB_BLOCK_SIZE;
        const bool changed = (*bytes)[i] != before[i];
        if (in_block) {
            privacy->block = privacy->block || changed;
            in_run = false;
            continue;
        }
        if (changed && !in_run) ++privacy->addresses;
        in_run = changed;
    }
}

// The replay at path as a share sends it, handed to put a piece at a time:
// its leading bytes scrubbed as above (privacy, when given, learns what was
// cleared), the rest as they are. *size is how many bytes it gave. False
// with *why.
bool ra_read_scrubbed(const fs::path &path, const ra_put_bytes &put, ra_shared_privacy *privacy,
                      uint64_t *size, std::string *why) {
    std::string head;  // the leading bytes, scrubbed once all are there
    ra_shared_privacy ignored;
    bool head_sent = false;
    *size = 0;
    const auto send_head = [&]() {
        head_sent = true;
        ra_scrubbed(&head, privacy ? privacy : &ignored);
        return put(head.data(), head.size());
    };
    bool stopped = false;
    const bool read = ra_read_plain_file(
        path, ra_replay_max_bytes,
        [&](const char *data, size_t n) {
            *size += n;
            if (!head_sent) {
                const size_t take = std::min(n, (size_t)RA_SCRUB_REGION - head.size());
                head.append(data, take);
                data += take;
                n -= take;
                if (head.size() < RA_SCRUB_REGION) return true;
                if (!send_head()) return !(stopped = true);
            }
            if (n > 0 && !put(data, n)) return !(stopped = true);
            return true;
        },
        why);
    if (!read) {
        if (stopped) *why = "it could not be written";
        return false;
    }
    // A replay shorter than the scrubbed region is sent as it is.
    return head_sent || send_head();
}

// The size and hash of the replay at path as a share sends it; privacy,
// when given, learns what the scrub cleared. False with *why.
bool ra_hash_scrubbed(const fs::path &path, ra_shared_replay *replay, ra_shared_privacy *privacy,
                      std::string *why) {
    ra_sha256 hash;
    if (!ra_read_scrubbed(
            path,
            [&](const char *data, size_t n) {
                hash.add(data, n);
                return true;
            },
            privacy, &replay->size, why)) {
        return false;
    }
    replay->sha256 = ra_hex(hash.digest());
    return true;
}

// The replay named by a player: its name as the list shows it, or its path
// in dir. Empty, with *error, when it is elsewhere.
std::string ra_name_in_dir(const fs::path &dir, const std::string &given, std::string *error) {
    fs::path path = ra_path(given);
    if (!path.has_parent_path()) return given;
    std::error_code failed;
    if (!fs::equivalent(path.parent_path(), dir, failed)) {
        *error =
            given + " is not in " + ra_text(dir) + ": only your own saved replays can be shared";
        return "";
    }
    return ra_text(path.filename());
}

// The racers' names of a line, car by car.
std::vector<std::string> ra_line_racers(const ra_record &record) {
    std::vector<std::string> names;
    for (int car = 1; car <= RA_CARS; ++car) {
        std::string name = record.get_car(ra_car_name, car);
        if (!name.empty()) names.push_back(name);
    }
    return names;
}

// The sharer: the player's name in the newest of the lines that tell it.
std::string ra_sharer_of(const std::vector<ra_record> &lines) {
    const ra_record *newest = nullptr;
    for (const ra_record &r : lines) {
        if (ra_line_player_name(r).empty()) continue;
        if (newest == nullptr || !(r.saved < newest->saved)) newest = &r;
    }
    return newest ? ra_line_player_name(*newest) : "";
}

const std::string ra_no_sharer =
    "the record does not tell your racer name for these replays (it is written with " +
    ra_setting_line(RA_SET_RECORD, 1) + " by this version of the plug-in); drive a race with " +
    ra_setting_line(RA_SET_RECORD, 1) + " and share again";

}  // namespace

std::string ra_line_player_name(const ra_record &record) {
    if (record.player < 1) return "";
    return record.get_car(ra_car_name, record.player);
}

ra_record ra_record_with(const ra_record &record, const std::string &column,
                         const std::string &value) {
    std::vector<std::string> columns = ra_record_columns(record);
    std::vector<std::string> fields = ra_record_fields(record);
    for (size_t i = 0; i < columns.size() && i < fields.size(); ++i) {
        if (columns[i] != column) continue;
        fields[i] = value;
        ra_record changed;
        // The same columns: the line keeps the layout it shares with its neighbours.
        if (ra_record_of_fields(record.line, record.layout, fields, &changed)) {
            return changed;
        }
    }
    return record;
}

bool ra_plan_share(const fs::path &dir, const std::vector<std::string> &files, bool hide_names,
                   ra_share_plan *plan, std::string *error) {
    *plan = ra_share_plan();
    ra_records records;
    ra_read_records(dir, ra_text(dir / ra_records_file), &records);
    std::vector<ra_record> lines;
    std::map<std::string, std::string> rivals;  // folded real name -> "Rival N"
    std::map<std::string, bool> seen;
    for (const std::string &given : files) {
        std::string name = ra_name_in_dir(dir, given, error);
        if (name.empty()) return false;
        if (seen[ra_folded_name(name)]) continue;
        seen[ra_folded_name(name)] = true;
        ra_shared_replay replay;
        ra_shared_privacy privacy;
        std::string why;
        const fs::path path = dir / ra_path(name);
        // Hashed now and read again as the share is written, a piece at a
        // time: a long replay is never in memory whole.
        if (!ra_hash_scrubbed(path, &replay, &privacy, &why)) {
            *error = "cannot share " + name + " of " + ra_text(dir) + ": " + why +
                     "; \"replay-autosave list\" shows the replays there";
            return false;
        }
        replay.fill = [path](const ra_put_bytes &put) {
            uint64_t size = 0;
            std::string ignored;
            return ra_read_scrubbed(path, put, nullptr, &size, &ignored);
        };
        const ra_record *line = ra_record_for(records, name);
        // The name as the record and Dir spell it.
        replay.name = line ? line->file : name;
        privacy.name = replay.name;
        privacy.size = replay.size;
        if (line) {
            ra_record shared = *line;
            const std::string own = ra_line_player_name(*line);
            for (int car = 1; hide_names && car <= RA_CARS; ++car) {
                const std::string column = ra_car_column(ra_column_name, car);
                const std::string racer = line->get(column);
                if (racer.empty() || car == line->player) continue;
                std::string &rival = rivals[ra_folded_name(racer)];
                if (rival.empty()) {
                    rival = ra_rival_prefix + std::to_string(rivals.size());
                    plan->hidden.push_back(racer);
                }
                shared = ra_record_with(shared, column, rival);
            }
            privacy.racers = ra_line_racers(shared);
            lines.push_back(shared);
        }
        plan->share.replays.push_back(std::move(replay));
        plan->privacy.push_back(std::move(privacy));
    }
    plan->hide_names = hide_names;
    plan->share.sharer = ra_sharer_of(lines);
    if (plan->share.sharer.empty()) {
        *error = ra_no_sharer;
        return false;
    }
    plan->share.kind = ra_share_kind::share;
    plan->share.made = ra_format_time(ra_local_now());
    plan->share.record = ra_plugin_header_text();
    for (const ra_record &r : lines) plan->share.record += ra_plugin_form(r);
    return true;
}

bool ra_plan_card(const fs::path &dir, ra_share_plan *plan, std::string *error) {
    *plan = ra_share_plan();
    ra_records records;
    ra_read_records(dir, ra_text(dir / ra_records_file), &records);
    plan->share.kind = ra_share_kind::card;
    plan->share.made = ra_format_time(ra_local_now());
    plan->share.sharer = ra_sharer_of(records.lines);
    if (plan->share.sharer.empty()) {
        *error = records.lines.empty()
                     ? "there are no recorded races in " + ra_text(dir) + " for a card (" +
                           ra_setting_line(RA_SET_RECORD, 1) + " writes them)"
                     : ra_no_sharer;
        return false;
    }
    plan->share.record = ra_plugin_header_text();
    std::map<std::string, bool> hashed;
    for (const ra_record &r : records.lines) {
        plan->share.record += ra_plugin_form(r);
        if (hashed[ra_folded_name(r.file)]) continue;
        hashed[ra_folded_name(r.file)] = true;
        // A replay that is gone, a link or too big has no hash: its time
        // is shown "without its replay".
        ra_shared_replay replay;
        std::string why;
        if (!ra_hash_scrubbed(dir / ra_path(r.file), &replay, nullptr, &why)) continue;
        replay.name = r.file;
        plan->share.replays.push_back(std::move(replay));
    }
    return true;
}

std::string ra_privacy_report(const ra_share_plan &plan) {
    std::string text;
    uint64_t total = 0;
    if (plan.share.kind == ra_share_kind::card) {
        size_t lines = 0;
        for (char c : plan.share.record) lines += c == '\n';
        text += "The card holds your record (" + std::to_string(lines ? lines - 1 : 0) +
                " races, with every racer's name in them) and the hashes of " +
                std::to_string(plan.share.replays.size()) + " replays, no replay itself.\n";
        return text;
    }
    text += "What the share gives away, as " + plan.share.sharer + ":\n";
    for (const ra_shared_privacy &p : plan.privacy) {
        total += p.size;
        text += "  " + p.name + ": " + std::to_string(p.size) + " bytes, ";
        text += p.addresses == 0 ? std::string("no address found")
                                 : std::to_string(p.addresses) +
                                       (p.addresses == 1 ? " address found and cleared"
                                                         : " addresses found and cleared");
        if (p.block) text += ", the connection block cleared";
        text += "\n";
        std::string names;
        for (const std::string &n : p.racers) names += (names.empty() ? "" : ", ") + n;
        text += "    names: " + (names.empty() ? std::string("none recorded") : names) + "\n";
    }
    text += "  " + std::to_string(total) + " bytes of replays in all.\n";
    if (!plan.hidden.empty()) {
        text +=
            "The other racers' names are shown as \"Rival 1\", \"Rival 2\"... in the shared "
            "record. The replays themselves still hold the names: we do not know their "
            "format well enough to change them.\n";
    }
    return text;
}
