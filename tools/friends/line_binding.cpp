#include "friends/line_binding.h"

#include <algorithm>

#include "autosave/autosave.h"
#include "library/game_replay.h"
#include "library/record_schema.h"
#include "platform/file_system.h"
#include "snapshot/race_context.h"

void ra_shared_digest::add(const char *data, size_t size) {
    if (head_.size() < RA_SCRUB_REGION)
        head_.append(data, std::min(size, (size_t)RA_SCRUB_REGION - head_.size()));
    size_ += size;
}

std::string ra_shared_digest::hex() const { return hex(size_); }

std::string ra_shared_digest::hex(uint64_t size) const {
    char out[RA_MD5_TEXT_SIZE];
    ra_replay_digest_of((const uint8_t *)head_.data(), (uint32_t)head_.size(), size, out);
    return out;
}

bool ra_shared_digest::full() const { return head_.size() >= RA_SCRUB_REGION; }

std::string ra_shared_file_digest(const std::filesystem::path &path) {
    ra_shared_digest digest;
    std::string why;
    std::error_code failed;
    // The leading bytes alone are read; the length is the file's size.
    const bool read = ra_read_plain_file(
        path, ra_replay_max_bytes,
        [&](const char *data, size_t n) {
            digest.add(data, n);
            return !digest.full();
        },
        &why);
    const uintmax_t size = std::filesystem::file_size(path, failed);
    if (failed || (!read && !digest.full())) return "";
    return digest.hex(size);
}

std::string ra_line_digest(const ra_record &line) { return line.get(ra_column_replay_md5); }
