#include "friends/aliases.h"

#include "library/replays/files.h"
#include "library/text/folded_name.h"
#include "library/text/utf8_text.h"
#include "platform/file_lock.h"
#include "platform/file_system.h"
#include "platform/game_paths.h"

namespace fs = std::filesystem;

const char ra_aliases_file[] = "replays.aliases";
const char ra_aliases_lock_file[] = "replays.aliases.lock";

namespace {

// An aliases file is a few lines; a bigger one is none of ours.
const uintmax_t ra_aliases_max_bytes = 1 << 20;
// The longest racer name taken: the game's are far shorter.
const size_t ra_racer_name_max = 64;

bool ra_plain_racer_name(const std::string &name) {
    if (ra_text_width(name) > ra_racer_name_max || !ra_is_utf8(name)) return false;
    for (unsigned char c : name) {
        if (c < 0x20 || c == 0x7f) return false;
    }
    return true;
}

}  // namespace

std::string ra_aliases::shown(const std::string &name) const {
    auto found = by_folded.find(ra_folded_name(name));
    return found == by_folded.end() ? name : found->second;
}

ra_aliases ra_read_aliases(const fs::path &dir) {
    ra_aliases aliases;
    std::string text, why;
    const fs::path path = dir / ra_aliases_file;
    if (ra_entry_kind_of(path) != ra_entry_kind::file ||
        !ra_load_plain_file(path, ra_aliases_max_bytes, &text, &why)) {
        return aliases;
    }
    for (const std::string &read : ra_text_lines(text)) {
        const std::string line = ra_own_file_text(read);
        size_t tab = line.find('\t');
        if (tab != std::string::npos && tab > 0 && tab + 1 < line.size()) {
            aliases.spelled[line.substr(0, tab)] = line.substr(tab + 1);
            aliases.by_folded[ra_folded_name(line.substr(0, tab))] = line.substr(tab + 1);
        }
    }
    return aliases;
}

bool ra_set_alias(const fs::path &dir, const std::string &old_name, const std::string &new_name,
                  std::string *error) {
    if (old_name.empty() || !ra_plain_racer_name(old_name) || !ra_plain_racer_name(new_name)) {
        *error = "a racer's name is at most " + std::to_string(ra_racer_name_max) +
                 " characters without control characters; nothing changed";
        return false;
    }
    ra_file_lock lock;
    std::string why;
    const fs::path lock_path = dir / ra_aliases_lock_file;
    if (!lock.take(lock_path, &why)) {
        *error = "cannot lock " + ra_text(lock_path) + ": " + why + "; nothing changed, try again";
        return false;
    }
    // Read again under the lock: another process may have changed them.
    ra_aliases aliases = ra_read_aliases(dir);
    for (auto it = aliases.spelled.begin(); it != aliases.spelled.end();) {
        it = ra_folded_name(it->first) == ra_folded_name(old_name) ? aliases.spelled.erase(it)
                                                                   : ++it;
    }
    if (!new_name.empty() && ra_folded_name(new_name) != ra_folded_name(old_name)) {
        aliases.spelled[old_name] = new_name;
    }
    std::string text;
    for (const auto &a : aliases.spelled) text += a.first + "\t" + a.second + "\r\n";
    if (!ra_save_file_atomically(dir / ra_aliases_file, text, &why)) {
        *error =
            "cannot write " + ra_text(dir / ra_aliases_file) + ": " + why + "; nothing changed";
        return false;
    }
    return true;
}

std::string ra_alias_stored(const std::string &old_name, const std::string &new_name) {
    if (new_name.empty()) return old_name + " is shown as it is spelt again.\n";
    const bool ends_sentence = new_name.back() == '.';
    return old_name + " is shown as " + new_name + (ends_sentence ? "\n" : ".\n");
}
