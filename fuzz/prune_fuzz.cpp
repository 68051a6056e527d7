// prune's choice of the files it removes, on a fuzzed save folder.
//
// Input: the text of replays.csv, a NUL, then entries of the folder, each
// a kind byte and a name up to the next NUL: kind % 4 is 0 a replay file, 1
// a folder, 2 a link to a replay outside the folder, 3 a file restore kept
// (the name gets the prefix kept_). Names lose '/' (they are single names);
// "." and ".." and names already made are skipped. At most 24 entries.
//
// prune --keep 0 --apply runs on that folder with a remover that records
// what it is given and removes nothing. Properties: every path lies
// directly in the folder, is a regular file (no link, no folder) that was
// made as one, and is given once; its name is exactly the name a line of
// the record file holds (as the record reader reads it) and occurs in the
// text as it is (unless it holds a quote, which the text doubles); it is no
// kept_ file, and no other entry of the folder
// differs from it only in letter case.
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "fuzz_input.h"
#include "library/replays/prune.h"
#include "library/record/record_reader.h"

namespace fs = std::filesystem;

namespace {

const size_t fuzz_max_entries = 24;
const size_t fuzz_max_name = 64;

fs::path fuzz_root;
std::vector<fs::path> fuzz_given;

void fuzz_remove_root(void) {
    std::error_code ignored;
    fs::remove_all(fuzz_root, ignored);
}

// A folder of our own for the whole run, emptied for each input.
void fuzz_fresh_folders(fs::path *dir, fs::path *outside) {
    if (fuzz_root.empty()) {
        char pattern[] = "/tmp/ra-fuzz-prune-XXXXXX";
        FUZZ_CHECK(mkdtemp(pattern) != nullptr);
        fuzz_root = pattern;
        atexit(fuzz_remove_root);
    }
    std::error_code failed;
    *dir = fuzz_root / "Saves";
    *outside = fuzz_root / "outside.rp4";
    fs::remove_all(*dir, failed);
    FUZZ_CHECK(fs::create_directory(*dir, failed));
    FILE *f = fopen(outside->c_str(), "wb");
    FUZZ_CHECK(f != nullptr);
    fclose(f);
}

std::vector<std::string> fuzz_record(const std::vector<fs::path> &files) {
    fuzz_given.insert(fuzz_given.end(), files.begin(), files.end());
    return std::vector<std::string>(files.size());
}

std::string fuzz_folded(const std::string &name) {
    std::string folded = name;
    for (char &c : folded) c = c >= 'a' && c <= 'z' ? (char)(c - 'a' + 'A') : c;
    return folded;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz_input in = {data, size};
    const uint8_t *text = nullptr;
    size_t text_size = in.take_text(&text);
    const std::string record((const char *)text, text_size);

    fs::path dir, outside;
    fuzz_fresh_folders(&dir, &outside);
    std::set<std::string> files;  // the regular files made, by name
    std::vector<std::string> names;
    for (size_t n = 0; n < fuzz_max_entries && in.size > 0; ++n) {
        uint8_t kind = in.take_byte() % 4;
        const uint8_t *raw = nullptr;
        size_t raw_size = in.take_text(&raw);
        std::string name;
        for (size_t i = 0; i < raw_size && name.size() < fuzz_max_name; ++i) {
            if (raw[i] != '/') name += (char)raw[i];
        }
        if (kind == 3) name = "kept_" + name;
        if (name.empty() || name == "." || name == "..") continue;
        fs::path path = dir / name;
        std::error_code failed;
        if (fs::exists(fs::symlink_status(path, failed))) continue;
        if (kind == 1) {
            fs::create_directory(path, failed);
        } else if (kind == 2) {
            fs::create_symlink(outside, path, failed);
        } else {
            FILE *f = fopen(path.c_str(), "wb");
            if (f == nullptr) continue;
            fputs("replay", f);
            fclose(f);
            files.insert(name);
        }
        if (!failed) names.push_back(name);
    }
    FILE *f = fopen((dir / ra_records_file).c_str(), "wb");
    FUZZ_CHECK(f != nullptr);
    fwrite(record.data(), 1, record.size(), f);
    fclose(f);

    ra_records lines;
    ra_parse_records(record, ra_records_file, &lines);
    std::set<std::string> named;
    for (const ra_record &r : lines.lines) named.insert(r.file);

    fuzz_given.clear();
    ra_prune_policy policy;
    policy.keep = 0;
    ra_prune_folder(dir, dir.string(), policy, true, fuzz_record);

    std::set<std::string> seen;
    for (const fs::path &p : fuzz_given) {
        FUZZ_CHECK(p.parent_path() == dir);
        const std::string name = p.filename().string();
        FUZZ_CHECK(seen.insert(name).second);
        FUZZ_CHECK(files.count(name) == 1);
        FUZZ_CHECK(named.count(name) == 1);
        // A quote stands doubled in the text.
        FUZZ_CHECK(name.find('"') != std::string::npos || record.find(name) != std::string::npos);
        FUZZ_CHECK(fuzz_folded(name.substr(0, 5)) != "KEPT_");
        for (const std::string &other : names) {
            FUZZ_CHECK(other == name || fuzz_folded(other) != fuzz_folded(name));
        }
    }
    return 0;
}
