#include "files.h"

#include <fstream>
#include <sstream>
#include <system_error>

bool ra_read_file(const std::filesystem::path &path, std::string *bytes) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream all;
    // An empty file extracts nothing, which marks `all`, not `in`, as failed.
    all << in.rdbuf();
    if (in.bad()) return false;
    *bytes = all.str();
    return true;
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
