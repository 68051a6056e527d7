#include "friends/line_binding.h"

#include <algorithm>

#include "autosave/autosave.h"
#include "library/record/record_schema.h"
#include "snapshot/race_context.h"

void ra_shared_digest::add(const char *data, size_t size) {
    if (head_.size() < RA_SCRUB_REGION)
        head_.append(data, std::min(size, (size_t)RA_SCRUB_REGION - head_.size()));
    size_ += size;
}

std::string ra_shared_digest::hex() const {
    char out[RA_MD5_TEXT_SIZE];
    ra_replay_digest_of((const uint8_t *)head_.data(), (uint32_t)head_.size(), size_, out);
    return out;
}

std::string ra_line_digest(const ra_record &line) { return line.get(ra_column_replay_md5); }
