// The after-race handler. The game keeps only its latest replay, so after
// every replay save we copy "replay.rp4" into Dir under a name built from the
// template chosen for the race type. Every failure ends the autosave with a
// log line where one helps the player; the game is never told.
#include "autosave/autosave.h"

#include <string.h>
#include <windows.h>

#include "host/host.h"
#include "naming/naming.h"
#include "patches/hooks.h"
#include "settings/settings.h"
#include "snapshot/game_map.h"
#include "snapshot/race_context.h"
#include "snapshot/track_digests.h"

// Type key: the race type code, cut to 6 characters, lower-cased, + "_name".
#define RA_TYPE_KEY_SIZE 16
#define RA_TYPE_KEY_CODE_MAX 6
#define RA_KEY_SUFFIX "_name"
// Race type of career races, whose templates are keyed by circuit type.
#define RA_RACE_TYPE_CAREER 4u
// game_playback_state while the game plays a replay back.
#define RA_PLAYBACK_STATE_REPLAY 2u
// The replay folder text may take what is left of a path after "replay.rp4".
#define RA_REPLAY_DIR_MAX (RA_PATH_SIZE - sizeof RA_REPLAY_FILE)

static uint32_t ra_m_flag(void) { return ra_game_u32(game_m_flag) != 0 ? 1u : 0u; }

static int ra_exists(const char *path) {
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

// A candidate is free only when the system says it does not exist: a test
// that fails for any other reason (access denied, a drive that is not ready,
// a network error) may hide an earlier saved replay, which the copy would
// then replace. *error receives the system's code for an unknown candidate.
extern "C" ra_candidate ra_test_candidate(const char *path, unsigned long *error, void *) {
    if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) return RA_CANDIDATE_TAKEN;
    *error = GetLastError();
    if (*error == ERROR_FILE_NOT_FOUND || *error == ERROR_PATH_NOT_FOUND) return RA_CANDIDATE_FREE;
    return RA_CANDIDATE_UNKNOWN;
}

static void ra_fill_now(ra_ctx *ctx, uint32_t index, void *) { ra_fill_save_ctx(ctx, index); }

// The type key derived in place from the race type code: "SR" -> "sr_name".
static void ra_type_key(uint32_t race_type, uint32_t variant, uint32_t circ_type, uint32_t m_flag,
                        char *key) {
    vqra_type_code(race_type, variant, circ_type, m_flag, key);
    uint32_t n = 0;
    for (; key[n] != '\0' && n < RA_TYPE_KEY_CODE_MAX; ++n) {
        if (key[n] >= 'A' && key[n] <= 'Z') key[n] = (char)(key[n] - 'A' + 'a');
    }
    ra_stpcpy(key + n, RA_KEY_SUFFIX);
}

// Group keys: career races, then the M flag decides.
static const char ra_group_career[] = "c_name";
static const char ra_group_single[] = "s_name";
static const char ra_group_multi[] = "m_name";
static const char ra_key_multi_more[] = "n_name";  // tried after "m_name" only
static const char ra_key_every[] = "Name";

// The first configured template of the cascade, with the key it came from.
static const char *ra_first_tpl(const ra_tpl *tpls, const char *const *keys, uint32_t count,
                                const char **key) {
    for (uint32_t i = 0; i < count; ++i) {
        const char *tpl = ra_tpl_in(tpls, keys[i]);
        if (tpl != nullptr) {
            *key = keys[i];
            return tpl;
        }
    }
    *key = nullptr;
    return ra_default_tpl;
}

// The table key whose value is tpl: the type key lives only in our frame.
static const char *ra_key_of(const ra_tpl *tpls, const char *tpl) {
    for (uint32_t i = 0; i < RA_TPL_COUNT; ++i) {
        if (tpls[i].value == tpl) return tpls[i].key;
    }
    return nullptr;
}

extern "C" const char *ra_pick_tpl_in(const ra_tpl *tpls, uint32_t race_type, uint32_t variant,
                                      uint32_t circ_type, uint32_t m_flag, const char **key) {
    char type_key[RA_TYPE_KEY_SIZE];
    ra_type_key(race_type, variant, circ_type, m_flag, type_key);
    const char *group = race_type == RA_RACE_TYPE_CAREER ? ra_group_career
                        : m_flag == 0                    ? ra_group_single
                                                         : ra_group_multi;
    // "n_name" serves the M-flag races only, right after their group key.
    const char *multi[] = {type_key, group, ra_key_multi_more, ra_key_every};
    const char *other[] = {type_key, group, ra_key_every};
    const char *tpl = group == ra_group_multi ? ra_first_tpl(tpls, multi, 4, key)
                                              : ra_first_tpl(tpls, other, 3, key);
    if (*key != nullptr) *key = ra_key_of(tpls, tpl);
    return tpl;
}

extern "C" const char *ra_pick_tpl_for(uint32_t race_type, uint32_t variant, uint32_t circ_type,
                                       uint32_t m_flag, const char **key) {
    return ra_pick_tpl_in(ra_tpls, race_type, variant, circ_type, m_flag, key);
}

extern "C" const char *ra_pick_tpl(void) {
    const char *key;
    return ra_pick_tpl_for(ra_game_u32(game_race_type), ra_game_u32(game_race_variant),
                           (uint32_t)vq_ra_circ_type, ra_m_flag(), &key);
}

extern "C" void ra_make_dirs(void) {
    size_t n = strlen(ra_dir);
    if (n == 0 || n >= RA_PATH_SIZE) return;
    char work[RA_PATH_SIZE];
    ra_stpcpy(work, ra_dir);
    // Each level is created in turn; the first character is never a cut point,
    // so an absolute "\dir" or "/dir" is not cut to an empty name. Results are
    // ignored on purpose: existing or unmakeable levels do not stop the copy.
    for (size_t i = 1; i < n; ++i) {
        char c = work[i];
        if (c != '\\' && c != '/') continue;
        work[i] = '\0';
        CreateDirectoryA(work, nullptr);
        work[i] = c;
    }
    CreateDirectoryA(ra_dir, nullptr);
}

// The game's replay file into src (RA_PATH_SIZE bytes); 0 when the game
// holds no replay folder or its text is too long for a path.
static int ra_source_path(char *src) {
    const char *dir = (const char *)ra_image_mem(ra_game_u32(game_replay_dir));
    if (dir == nullptr || strlen(dir) > RA_REPLAY_DIR_MAX) return 0;
    ra_stpcpy(ra_stpcpy(src, dir), RA_REPLAY_FILE);
    return 1;
}

// Destination for a template with "%index%": the first candidate from
// IndexStart under which no file exists; dst holds the last candidate tried,
// or stays empty when every name was empty.
static ra_destination ra_probe_index(const char *dir, int32_t index_start, const char *tpl,
                                     const ra_destination_world *world, ra_ctx *ctx, char *name,
                                     char *dst, unsigned long *error) {
    uint32_t index = (uint32_t)index_start;
    for (uint32_t tried = 0; tried < RA_INDEX_PROBES; ++tried, ++index) {
        world->fill(ctx, index, world->context);
        vqra_expand(tpl, ctx, name);
        if (name[0] == '\0') continue;
        if (!ra_build_dst_in(dir, dst, name)) {
            dst[0] = '\0';
            return RA_DEST_TOO_LONG;
        }
        ra_candidate candidate = world->test(dst, error, world->context);
        if (candidate == RA_CANDIDATE_FREE) return RA_DEST_FOUND;
        // The next candidates lie in the same folder and would fail alike,
        // each test perhaps as slow as a drive or network time-out: stop here.
        if (candidate == RA_CANDIDATE_UNKNOWN) return RA_DEST_UNKNOWN;
    }
    return dst[0] != '\0' ? RA_DEST_ALL_TAKEN : RA_DEST_EMPTY;
}

extern "C" ra_destination ra_find_destination(const char *dir, int32_t index_start, const char *tpl,
                                              const ra_destination_world *world, ra_ctx *ctx,
                                              char *name, char *dst, unsigned long *error) {
    dst[0] = '\0';
    if (ra_strstr(tpl, RA_INDEX_MARKER)) {
        return ra_probe_index(dir, index_start, tpl, world, ctx, name, dst, error);
    }
    world->fill(ctx, (uint32_t)index_start, world->context);
    vqra_expand(tpl, ctx, name);
    if (name[0] == '\0') return RA_DEST_EMPTY;
    // Without "%index%" an existing file of that name is replaced.
    return ra_build_dst_in(dir, dst, name) ? RA_DEST_FOUND : RA_DEST_TOO_LONG;
}

extern "C" void vq_ra_after(void) {
    if (ra_game == 0) return;  // never applied
    if (!ra_load_config()) return;

    const char *tpl = ra_pick_tpl();
    if (ra_game_u32(game_playback_state) == RA_PLAYBACK_STATE_REPLAY ||
        ra_game_u32(game_playback_flag) != 0) {
        if (ra_log) ra_log("replay autosave: skip (replay playback)");
        return;
    }
    // Digests cost whole-file reads; only a template that asks pays for them.
    if (ra_strstr(tpl, RA_MD5_TR_MARKER) || ra_strstr(tpl, RA_MD5_TRN_MARKER)) ra_md5_refresh();

    char src[RA_PATH_SIZE];
    if (!ra_source_path(src)) return;
    if (!ra_exists(src)) {
        if (ra_log) ra_log("replay autosave: %s missing, nothing to copy", src);
        return;
    }

    ra_ctx ctx;
    char name[RA_NAME_BUF];
    char dst[RA_PATH_SIZE];
    const ra_destination_world world = {ra_fill_now, ra_test_candidate, nullptr};
    unsigned long error = 0;
    const int probing = ra_strstr(tpl, RA_INDEX_MARKER) != nullptr;
    switch (ra_find_destination(ra_dir, ra_index_start, tpl, &world, &ctx, name, dst, &error)) {
    case RA_DEST_FOUND:
        break;
    case RA_DEST_EMPTY:
        // With "%index%" every candidate came out empty: nothing to say.
        if (!probing && ra_log) ra_log("replay autosave: template produced an empty name");
        return;
    case RA_DEST_TOO_LONG:
        return;  // without a message
    case RA_DEST_UNKNOWN:
        if (ra_log) {
            ra_log("replay autosave: cannot tell whether %s exists (%lu), nothing copied", dst,
                   error);
        }
        return;
    case RA_DEST_ALL_TAKEN:
        // Never replace an earlier saved replay.
        if (ra_log) {
            static_assert(RA_INDEX_PROBES == 10000u, "the message names the number of candidates");
            ra_log("replay autosave: no free name for %s (10000 tried)", dst);
        }
        return;
    }
    if (ra_ieq(src, dst)) return;  // never copy a file onto itself

    ra_make_dirs();
    if (!CopyFileA(src, dst, FALSE)) {
        unsigned long error = GetLastError();
        if (ra_log) ra_log("replay autosave: copy failed (%lu): %s -> %s", error, src, dst);
        return;
    }
    // Scrubbing is best effort: the copy stands whatever it does. Its read
    // of the copy gives the record the copy's digest too.
    char digest[RA_MD5_TEXT_SIZE];
    digest[0] = '\0';
    if (ra_clear_ip) ra_scrub_ip_digest(dst, ra_record_enabled ? digest : nullptr);
    if (ra_log) ra_log("replay autosave: %s (type=%s)", dst, ctx.type);
    // The record, too, is best effort: the saved replay stands whatever it does.
    if (ra_record_enabled) ra_record_save(&ctx, src, dst, digest);
}
