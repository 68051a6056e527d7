#include "library/replays/files.h"

#include <system_error>

#include "platform/file_system.h"
#include "platform/random.h"

namespace {

// Random bytes in a temporary's name: 64 bits, which nobody guesses.
const size_t ra_temporary_random_bytes = 8;
// How a temporary's name ends; never a replay's extension, so that no list
// shows one.
const char ra_temporary_suffix[] = ".tmp";

}  // namespace

// A temporary's name beside path, or false when the system gives no
// random bytes.
bool ra_temporary_beside(const std::filesystem::path &path, std::filesystem::path *temporary) {
    static const char hex[] = "0123456789abcdef";
    unsigned char raw[ra_temporary_random_bytes];
    if (!ra_random_bytes(raw, sizeof raw)) return false;
    std::string random = ".";
    for (unsigned char byte : raw) {
        random += hex[byte >> 4];
        random += hex[byte & 15];
    }
    *temporary = path;
    *temporary += random + ra_temporary_suffix;
    return true;
}

bool ra_read_file(const std::filesystem::path &path, std::string *bytes, std::string *why) {
    std::string reason;
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        reason = error                                  ? ra_reason(error)
                 : std::filesystem::exists(path, error) ? "it is not a file"
                                                        : "no such file or folder";
    } else if (ra_load_file(path, bytes, &reason)) {
        return true;
    }
    if (why != nullptr) *why = reason;
    return false;
}

bool ra_same_bytes(const std::filesystem::path &a, const std::filesystem::path &b) {
    std::error_code error;
    uintmax_t size_a = std::filesystem::file_size(a, error);
    if (error) return false;
    uintmax_t size_b = std::filesystem::file_size(b, error);
    if (error || size_a != size_b) return false;
    std::string bytes_a, bytes_b;
    return ra_read_file(a, &bytes_a) && ra_read_file(b, &bytes_b) && bytes_a == bytes_b;
}

bool ra_save_file_atomically(const std::filesystem::path &path, const std::string &bytes,
                             std::string *why) {
    std::filesystem::path temporary;
    if (!ra_temporary_beside(path, &temporary)) {
        *why = "the system gave no random numbers for a temporary file's name";
        return false;
    }
    if (!ra_create_new_file(temporary, bytes, why)) return false;
    if (ra_replace_file(temporary, path, why)) return true;
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
    return false;
}

std::vector<std::string> ra_text_lines(const std::string &text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}
