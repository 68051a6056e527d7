#include "friends/friends_folder.h"

#include <algorithm>
#include <system_error>

#include "friends/friends_index.h"
#include "friends/plain_name.h"
#include "autosave/autosave.h"
#include "library/text/folded_name.h"
#include "library/record/record_schema.h"
#include "library/replays/sha256.h"
#include "library/text/utf8_text.h"
#include "platform/file_system.h"
#include "platform/game_paths.h"

namespace fs = std::filesystem;

const char ra_friends_folder[] = "Friends";
const char ra_hashes_file[] = "replays.sha256";
const char ra_import_prefix[] = ".import-";
const char ra_friends_lock_file[] = ".import.lock";

namespace {

// The most a friend's record or hash list may hold: a card of many seasons
// is far smaller.
const uintmax_t ra_friend_file_max_bytes = 512u << 20;
// Between a hash and its name, as sha256sum writes it.
const char ra_hash_gap[] = "  ";

// A file of the folder, read only when it is a plain file of a sane size;
// empty when there is none. False with *why.
bool ra_friend_file(const fs::path &path, std::string *text, std::string *why) {
    text->clear();
    if (ra_entry_kind_of(path) == ra_entry_kind::none) return true;
    return ra_load_plain_file(path, ra_friend_file_max_bytes, text, why);
}

}  // namespace

std::string ra_friend_name_problem(const std::string &name) {
    const std::string plain = ra_plain_name_problem(name);
    if (!plain.empty()) return plain;
    if (name[0] == '.') return "it starts with a dot, as the program's own folders there do";
    for (const char *suffix : ra_cache_suffixes) {
        if (ra_folded_name(name) == ra_folded_name(std::string(ra_friends_index_file) + suffix))
            return "it is the name of a file the program keeps in " +
                   std::string(ra_friends_folder);
    }
    return "";
}

std::string ra_friend_record_text(const std::string &lines) {
    char header[RA_RECORD_BUF];
    uint32_t fill = 0;
    ra_record_header(header, &fill);
    return ra_utf8_mark + std::string(header, fill) + lines;
}

std::string ra_hashes_text(const std::map<std::string, std::string> &by_name) {
    std::string text;
    for (const auto &entry : by_name) text += entry.second + ra_hash_gap + entry.first + "\r\n";
    return text;
}

std::map<std::string, std::string> ra_parse_hashes(const std::string &text) {
    std::map<std::string, std::string> by_name;
    size_t start = 0;
    const size_t hex = 2 * ra_sha256_bytes, gap = sizeof ra_hash_gap - 1;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() > hex + gap && line.compare(hex, gap, ra_hash_gap) == 0) {
            by_name[ra_own_file_text(line.substr(hex + gap))] = line.substr(0, hex);
        }
        start = end + 1;
    }
    return by_name;
}

bool ra_read_friend(const fs::path &folder, const std::string &name, ra_friend *out,
                    std::string *error) {
    *out = ra_friend();
    out->name = name;
    out->folder = folder;
    std::string text, why;
    const fs::path record = folder / ra_records_file;
    if (!ra_friend_file(record, &text, &why)) {
        *error = "cannot read " + ra_text(record) + ": " + why;
        return false;
    }
    out->records.found = !text.empty();
    ra_parse_records(text, ra_text(record), &out->records);
    const fs::path hashes = folder / ra_hashes_file;
    if (!ra_friend_file(hashes, &text, &why)) {
        *error = "cannot read " + ra_text(hashes) + ": " + why;
        return false;
    }
    out->stated = ra_parse_hashes(text);
    for (const auto &entry : out->stated) {
        out->hashes[ra_folded_name(entry.first)] = entry.second;
    }
    std::error_code failed;
    for (fs::directory_iterator it(folder, failed), end; !failed && it != end;
         it.increment(failed)) {
        if (ra_entry_kind_of(it->path()) != ra_entry_kind::file) continue;
        const std::string file = ra_text(it->path().filename());
        out->files[ra_folded_name(file)] = file;
    }
    if (failed) {
        *error = "cannot read " + ra_text(folder) + ": " + ra_reason(failed);
        return false;
    }
    return true;
}

std::vector<std::pair<std::string, fs::path>> ra_friend_folders(const fs::path &dir) {
    std::vector<std::pair<std::string, fs::path>> folders;
    const fs::path root = dir / ra_friends_folder;
    if (ra_entry_kind_of(root) != ra_entry_kind::folder) return folders;
    std::error_code failed;
    for (fs::directory_iterator it(root, failed), end; !failed && it != end; it.increment(failed)) {
        const std::string name = ra_text(it->path().filename());
        if (name.rfind(ra_import_prefix, 0) == 0) continue;
        if (ra_entry_kind_of(it->path()) != ra_entry_kind::folder) continue;
        folders.emplace_back(name, it->path());
    }
    std::sort(folders.begin(), folders.end());
    return folders;
}

std::vector<ra_friend> ra_read_friends(const fs::path &dir, std::vector<std::string> *warnings) {
    std::vector<ra_friend> friends;
    for (const auto &f : ra_friend_folders(dir)) {
        ra_friend one;
        std::string error;
        if (ra_read_friend(f.second, f.first, &one, &error)) {
            friends.push_back(std::move(one));
        } else if (warnings) {
            warnings->push_back(error);
        }
    }
    return friends;
}

bool ra_read_named_friend(const fs::path &dir, const std::string &name, ra_friend *out,
                          std::string *error) {
    for (const auto &f : ra_friend_folders(dir)) {
        if (f.first == name) return ra_read_friend(f.second, name, out, error);
    }
    *error = "no friend named " + name + " was imported";
    return false;
}
