#include "library/keep_marks.h"

#include <vector>

#include "platform/file_system.h"
#include "library/files.h"
#include "platform/game_paths.h"

namespace fs = std::filesystem;

const char ra_keep_file[] = "replays.keep";

namespace {

std::string ra_folded(const std::string &name) {
    std::string up = name;
    for (char &c : up) c = c >= 'a' && c <= 'z' ? (char)(c - 'a' + 'A') : c;
    return up;
}

// The file's lines as written, without their line ends and blank lines.
std::vector<std::string> ra_mark_lines(const fs::path &dir) {
    std::vector<std::string> lines;
    std::string text;
    if (!ra_read_file(dir / ra_keep_file, &text)) return lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

}  // namespace

bool ra_keep_marks::has(const std::string &file) const {
    return folded.count(ra_folded(file)) != 0;
}

ra_keep_marks ra_read_keep_marks(const fs::path &dir) {
    ra_keep_marks marks;
    for (const std::string &line : ra_mark_lines(dir)) marks.folded.insert(ra_folded(line));
    return marks;
}

bool ra_mark_kept(const fs::path &dir, const std::string &file, bool keep, std::string *error) {
    std::vector<std::string> lines = ra_mark_lines(dir);
    std::string text;
    bool there = false;
    for (const std::string &line : lines) {
        if (ra_folded(line) == ra_folded(file)) {
            there = true;
            if (!keep) continue;
        }
        text += line + "\r\n";
    }
    if (keep == there) return true;
    if (keep) text += file + "\r\n";
    std::string why;
    if (ra_save_file(dir / ra_keep_file, text, &why)) return true;
    *error = "cannot write " + ra_text(dir / ra_keep_file) + ": " + why;
    return false;
}

std::string ra_keep_said(const std::string &file, bool keep) {
    return keep ? file + " is kept: prune never removes it."
                : file + " is no longer kept: prune's policies apply to it again.";
}
