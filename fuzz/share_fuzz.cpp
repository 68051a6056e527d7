// The reader of a friend's share or season card against any bytes as the
// file.
//
// Input: the whole of the file (written to a scratch file, since SQLite
// reads files).
//
// Properties: the reader never crashes, and what it accepts is safe to
// import: a sharer and replay names that are plain names of one folder,
// sizes within a replay's cap and their sum within a share's, hashes of 64
// hex digits, a record in UTF-8 whose every line reads and names a plain
// file; and
// each replay's bytes, when the reader hands them out, are as long as stated
// and hash as stated.
#include <stdint.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "friends/plain_name.h"
#include "friends/share_file.h"
#include "fuzz_input.h"
#include "library/replays/game_replay.h"
#include "library/record/record_reader.h"
#include "library/replays/sha256.h"
#include "library/text/utf8_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const std::string path = "/tmp/fuzz_share_" + std::to_string(getpid()) + ".rpshare";
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write((const char *)data, (std::streamsize)size);
    }
    ra_share_reader reader;
    std::string error;
    if (!reader.open(path, &error)) {
        FUZZ_CHECK(!error.empty() && error.find('\n') == std::string::npos);
        return 0;
    }
    const ra_share &share = reader.share();
    FUZZ_CHECK(ra_plain_name_problem(share.sharer).empty());
    uint64_t total = 0;
    for (size_t i = 0; i < share.replays.size(); ++i) {
        const ra_shared_replay &r = share.replays[i];
        FUZZ_CHECK(ra_plain_name_problem(r.name).empty());
        FUZZ_CHECK(r.size <= ra_replay_max_bytes);
        FUZZ_CHECK(r.sha256.size() == 2 * ra_sha256_bytes);
        total += r.size;
        if (share.kind != ra_share_kind::share) continue;
        std::string bytes;
        if (reader.bytes(i, &bytes, &error)) {
            FUZZ_CHECK(bytes.size() == r.size && ra_sha256_hex(bytes) == r.sha256);
        }
    }
    FUZZ_CHECK(total <= ra_share_max_bytes);
    FUZZ_CHECK(ra_is_utf8(share.record));
    ra_records records;
    ra_parse_records(share.record, "share", &records, ra_record_bytes::utf8);
    FUZZ_CHECK(records.skipped.empty());
    for (const ra_record &r : records.lines) FUZZ_CHECK(ra_plain_name_problem(r.file).empty());
    return 0;
}
