#include "library/files.h"

#include <system_error>

#include "platform/file_system.h"

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
