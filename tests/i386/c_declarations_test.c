/*
 * A caller in C, as a host, a tool or a check written from the plug-in's
 * documentation would be: it declares every global and function the
 * plug-in documents, with their documented types and sizes, links them from
 * the plug-in's library and uses each through these declarations. It fails
 * to build, link or run when one of them changes kind, type, size or
 * linkage: a global that became a C++ reference is a 4-byte pointer here, a
 * function with C++ linkage does not link, a resized table shows in the
 * symbol table.
 *
 * Usage: c_declarations_test SCRATCH_DIR
 */
#define _GNU_SOURCE
#include <elf.h>
#include <errno.h>
#include <stdarg.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

/* The host record, the manifest and a patch definition. */
typedef int (*vq_write_patch_fn)(uint32_t rva, const void *bytes, uint32_t length,
                                 const char *name);
typedef void (*vq_log_fn)(const char *format, ...);
struct vq_host {
    uint32_t abi_version;
    uint32_t image_base;
    uint32_t pool_base;
    vq_write_patch_fn write_patch;
    vq_log_fn log;
};
struct vq_manifest {
    uint32_t abi_version;
    const char *id;
    const char *description;
    const char *version;
    uint32_t host_value;
    const char *check_pattern;
    uint32_t check_rva;
    uint32_t reserved[9];
};
struct vq_def {
    uint32_t kind;
    uint32_t rva;
    uint32_t length;
    const char *expect;
    uint32_t target;
    const void *bytes;
    uint32_t reserved;
    const char *name;
};
_Static_assert(sizeof(struct vq_host) == 20, "vq_host");
_Static_assert(sizeof(struct vq_manifest) == 64, "vq_manifest");
_Static_assert(sizeof(struct vq_def) == 32, "vq_def");

/* Local time as Windows keeps it. */
struct ra_systemtime {
    uint16_t year, month, day_of_week, day, hour, minute, second, milliseconds;
};

/* One entry of the template table. */
struct ra_tpl {
    const char *key;
    char value[160];
};

/* The race context, the fields in their documented order; the player's car
   was added behind them. */
struct ra_ctx {
    char type[8];
    char track[24];
    char names[16][16];
    char md5_tr[33];
    char md5_trn[33];
    uint32_t laps, count, cars, cops, traffic, tier, circ, seed, start_pos;
    uint32_t best_lap[16], total_time[16], max_speed[16];
    uint32_t wet, night, index, reverse, mirror;
    uint32_t year, month, day, hour, minute, second;
    uint32_t start_year, start_month, start_day, start_hour, start_minute, start_second;
};
_Static_assert(offsetof(struct ra_ctx, laps) == 356, "ra_ctx");
_Static_assert(sizeof(struct ra_ctx) == 652, "ra_ctx");

/* The running state of one MD5 computation. */
struct vqmd5_ctx {
    uint32_t state[4];
    uint64_t count;
    unsigned char block[64];
};

/* Exports. */
extern struct vq_manifest vq_manifest_data;
extern const uint32_t vq_def_count;
extern const struct vq_def *const vq_def_table;
int VQ_Apply(const struct vq_host *host);
int vq_hexv_(int character);
int vqsdk_hex_match(const void *address, uint32_t length, const char *pattern);

/* Globals VQ_Apply sets, and the hook state. */
extern uint32_t ra_game;
extern vq_log_fn ra_log;
extern uint32_t vq_ra_save_stock;
extern uint32_t vq_ra_setup_stock;
extern uint32_t vq_ra_result;
extern int32_t vq_ra_circ_type;
extern uint32_t vq_ra_circ_id;
extern uint32_t ra_start_valid;
extern struct ra_systemtime ra_start_time;
void vq_ra_save_wrap(void);
void vq_ra_start_wrap(void);
void vq_ra_circ_hook(void);
void vq_ra_mark_start(void);

/* Settings storage, templates and the shared string functions. */
extern int32_t ra_enabled;
extern char ra_dir[96];
extern struct ra_tpl ra_tpls[22];
extern int32_t ra_index_start;
extern int32_t ra_clear_ip;
extern int32_t ra_cfg_loaded;
extern const char ra_default_tpl[];
int32_t ra_load_config(void);
const char *ra_tpl_lookup(const char *key);
char *ra_stpcpy(char *dst, const char *src);
int ra_ieq(const char *a, const char *b);
const char *ra_strstr(const char *haystack, const char *needle);

/* Game memory, race type codes, the race context and the track digests. */
const void *ra_image_mem(uint32_t a);
void ra_track_folder(char *out);
uint32_t vqra_type_code(uint32_t race_type, uint32_t variant, uint32_t circ_type, uint32_t m_flag,
                        char *dst);
void ra_fill_ctx(struct ra_ctx *ctx, uint32_t index);
extern int ra_md5_valid;
extern char ra_md5_tr[33];
extern char ra_md5_trn[33];
extern char ra_md5_folder[24];
void vqmd5_update(struct vqmd5_ctx *ctx, const void *data, uint32_t length);
void ra_file_md5(const char *path, char *out);
void ra_track_md5(const char *folder, const char *file, char *out);
void ra_md5_refresh(void);

/* Naming. */
void vqra_putc(char *buf, uint32_t *fill, char c);
void vqra_puts(char *buf, uint32_t *fill, const char *s);
void vqra_putu(char *buf, uint32_t *fill, uint32_t v);
void vqra_put2(char *buf, uint32_t *fill, uint32_t v);
void vqra_put_safe(char *buf, uint32_t *fill, const char *s);
int vqra_char_ok(unsigned c);
char *vqra_expand(const char *tpl, const struct ra_ctx *ctx, char *out);
int ra_build_dst(char *dst, const char *name);

/* The after-race autosave and the scrub. */
void vq_ra_after(void);
const char *ra_pick_tpl(void);
void ra_make_dirs(void);
void ra_scrub_ip(const char *path);
uint32_t ra_quad_len(const uint8_t *p, uint32_t limit);

/* The test world's module path: where the plug-in looks for its INI. */
void sim_set_module_path(const char *windows_path);

static int failures;

#define CHECK(cond)                                                            \
    do {                                                                       \
        if (!(cond)) {                                                         \
            fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #cond); \
            ++failures;                                                        \
        }                                                                      \
    } while (0)

/* The symbol table of this very program: each documented global's size
   and kind as the plug-in's library defined it, against the declaration. */
enum { OBJECT_RW, OBJECT_RO, FUNCTION };
struct symbol_rule {
    const char *name;
    uint32_t size; /* the declaration's size; 0: a function or an open array */
    int kind;
};
#define OBJ(x) \
    { #x, sizeof x, OBJECT_RW }
#define RO(x) \
    { #x, sizeof x, OBJECT_RO }
#define FN(x) \
    { #x, 0, FUNCTION }
static const struct symbol_rule symbol_rules[] = {
    OBJ(vq_manifest_data),
    RO(vq_def_count),
    RO(vq_def_table),
    OBJ(ra_game),
    OBJ(ra_log),
    OBJ(vq_ra_save_stock),
    OBJ(vq_ra_setup_stock),
    OBJ(vq_ra_result),
    OBJ(vq_ra_circ_type),
    OBJ(vq_ra_circ_id),
    OBJ(ra_start_valid),
    OBJ(ra_start_time),
    OBJ(ra_enabled),
    OBJ(ra_dir),
    OBJ(ra_tpls),
    OBJ(ra_index_start),
    OBJ(ra_clear_ip),
    OBJ(ra_cfg_loaded),
    {"ra_default_tpl", sizeof "%date%_%time%_%type%_%track%_%laps%L", OBJECT_RO},
    OBJ(ra_md5_valid),
    OBJ(ra_md5_tr),
    OBJ(ra_md5_trn),
    OBJ(ra_md5_folder),
    FN(VQ_Apply),
    FN(vq_hexv_),
    FN(vqsdk_hex_match),
    FN(vq_ra_save_wrap),
    FN(vq_ra_start_wrap),
    FN(vq_ra_circ_hook),
    FN(vq_ra_mark_start),
    FN(ra_load_config),
    FN(ra_tpl_lookup),
    FN(ra_stpcpy),
    FN(ra_ieq),
    FN(ra_strstr),
    FN(ra_image_mem),
    FN(ra_track_folder),
    FN(vqra_type_code),
    FN(ra_fill_ctx),
    FN(vqmd5_update),
    FN(ra_file_md5),
    FN(ra_track_md5),
    FN(ra_md5_refresh),
    FN(vqra_putc),
    FN(vqra_puts),
    FN(vqra_putu),
    FN(vqra_put2),
    FN(vqra_put_safe),
    FN(vqra_char_ok),
    FN(vqra_expand),
    FN(ra_build_dst),
    FN(vq_ra_after),
    FN(ra_pick_tpl),
    FN(ra_make_dirs),
    FN(ra_scrub_ip),
    FN(ra_quad_len),
};
#define RULES (sizeof symbol_rules / sizeof symbol_rules[0])

static void check_symbol_table(void) {
    FILE *f = fopen("/proc/self/exe", "rb");
    if (f == NULL) {
        fprintf(stderr, "cannot read this program: %s\n", strerror(errno));
        ++failures;
        return;
    }
    Elf32_Ehdr eh;
    Elf32_Shdr *sections = NULL;
    int seen[RULES] = {0};
    if (fread(&eh, sizeof eh, 1, f) != 1 || eh.e_ident[EI_CLASS] != ELFCLASS32) goto out;
    sections = calloc(eh.e_shnum, sizeof *sections);
    if (fseek(f, (long)eh.e_shoff, SEEK_SET) != 0 ||
        fread(sections, sizeof *sections, eh.e_shnum, f) != eh.e_shnum)
        goto out;
    /* Relocated constants (.data.rel.ro) are writable only while the
       program starts: they count as read-only. */
    char *section_names = malloc(sections[eh.e_shstrndx].sh_size);
    if (fseek(f, (long)sections[eh.e_shstrndx].sh_offset, SEEK_SET) != 0 ||
        fread(section_names, 1, sections[eh.e_shstrndx].sh_size, f) !=
            sections[eh.e_shstrndx].sh_size) {
        free(section_names);
        goto out;
    }
    for (unsigned s = 0; s < eh.e_shnum; ++s) {
        if (sections[s].sh_type != SHT_SYMTAB) continue;
        const Elf32_Shdr *names = &sections[sections[s].sh_link];
        char *text = malloc(names->sh_size);
        Elf32_Sym *syms = malloc(sections[s].sh_size);
        fseek(f, (long)names->sh_offset, SEEK_SET);
        size_t got = fread(text, 1, names->sh_size, f);
        fseek(f, (long)sections[s].sh_offset, SEEK_SET);
        got += fread(syms, 1, sections[s].sh_size, f);
        if (got != names->sh_size + sections[s].sh_size) {
            free(text);
            free(syms);
            goto out;
        }
        for (size_t i = 0; i < sections[s].sh_size / sizeof *syms; ++i) {
            const Elf32_Sym *sym = &syms[i];
            if (sym->st_shndx == SHN_UNDEF || sym->st_shndx >= eh.e_shnum) continue;
            for (unsigned r = 0; r < RULES; ++r) {
                const struct symbol_rule *rule = &symbol_rules[r];
                if (strcmp(text + sym->st_name, rule->name) != 0) continue;
                seen[r] = 1;
                const Elf32_Shdr *home = &sections[sym->st_shndx];
                const int writable = (home->sh_flags & SHF_WRITE) != 0 &&
                                     strcmp(section_names + home->sh_name, ".data.rel.ro") != 0;
                const int type = ELF32_ST_TYPE(sym->st_info);
                const int global = ELF32_ST_BIND(sym->st_info) == STB_GLOBAL;
                const int ok = global && (rule->kind == FUNCTION
                                              ? type == STT_FUNC
                                              : type == STT_OBJECT && sym->st_size == rule->size &&
                                                    writable == (rule->kind == OBJECT_RW));
                if (!ok) {
                    static const char *const kinds[] = {"writable object", "read-only object",
                                                        "function"};
                    fprintf(stderr,
                            "%s: defined as a %s%s %s of %u bytes, declared as a %s of %u\n",
                            rule->name, global ? "" : "local ", writable ? "writable" : "read-only",
                            type == STT_FUNC ? "function" : "object", sym->st_size,
                            kinds[rule->kind], rule->size);
                    ++failures;
                }
            }
        }
        free(text);
        free(syms);
    }
    free(section_names);
    for (unsigned r = 0; r < RULES; ++r) {
        if (!seen[r]) {
            fprintf(stderr, "%s: not in this program's symbol table\n", symbol_rules[r].name);
            ++failures;
        }
    }
out:
    free(sections);
    fclose(f);
}

/* The game image, zero-filled, at the game's fixed base. */
#define GAME_BASE 0x400000u
#define GAME_SIZE 0x500000u
static unsigned char *game(uint32_t address) { return (unsigned char *)(uintptr_t)address; }
static void game_put32(uint32_t address, uint32_t value) { memcpy(game(address), &value, 4); }

/* The host's side: patches written into the image, the last line logged. */
static char last_line[512];
static int patches_written;
static int write_patch(uint32_t rva, const void *bytes, uint32_t length, const char *name) {
    (void)name;
    memcpy(game(GAME_BASE + rva), bytes, length);
    ++patches_written;
    return 1;
}
static void log_line(const char *format, ...) {
    va_list args;
    va_start(args, format);
    vsnprintf(last_line, sizeof last_line, format, args);
    va_end(args);
}

/* Stand-ins for the game's stock functions the stubs forward to. */
static uint32_t stock_save(void) { return 0x5A5Eu; }
static uint32_t stock_setup(void) { return 0x5E7u; }

static int write_file(const char *path, const void *bytes, size_t size) {
    FILE *f = fopen(path, "wb");
    if (f == NULL) return 0;
    int ok = fwrite(bytes, 1, size, f) == size;
    return fclose(f) == 0 && ok;
}

static int read_file(const char *path, void *bytes, size_t size) {
    FILE *f = fopen(path, "rb");
    if (f == NULL) return 0;
    int ok = fread(bytes, 1, size, f) == size;
    fclose(f);
    return ok;
}

int main(int argc, char **argv) {
    check_symbol_table();
    /* Each run in a fresh folder of its own below SCRATCH_DIR. */
    char run[] = "run-XXXXXX";
    if (argc != 2 || chdir(argv[1]) != 0 || mkdtemp(run) == NULL || chdir(run) != 0) {
        fprintf(stderr, "usage: c_declarations_test SCRATCH_DIR (an existing folder)\n");
        return 2;
    }
    if (mmap(game(GAME_BASE), GAME_SIZE, PROT_READ | PROT_WRITE,
             MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) != game(GAME_BASE)) {
        fprintf(stderr, "cannot map the game image: %s\n", strerror(errno));
        return 1;
    }

    /* The exports as the host reads them. */
    CHECK(vq_manifest_data.abi_version == 1 && strcmp(vq_manifest_data.id, "replay.autosave") == 0);
    CHECK(vq_manifest_data.check_rva == 0x113070u);
    CHECK(vq_def_count == 4);
    CHECK(vq_def_table[0].rva == 0x1133BCu && vq_def_table[0].length == 5);
    CHECK(strcmp(vq_def_table[3].name, "replay-autosave.career-type") == 0);
    CHECK(vq_hexv_('a') == 10 && vq_hexv_('x') == -1);

    /* The game's bytes at the four sites, and an INI beside the game. */
    static const unsigned char stock_sites[4][5] = {{0xE8, 0xAF, 0xFC, 0xFF, 0xFF},
                                                    {0xE8, 0x19, 0xD8, 0x07, 0x00},
                                                    {0xE8, 0x22, 0xEA, 0xFC, 0xFF},
                                                    {0x55, 0x89, 0xE5, 0x83, 0xEC}};
    for (int i = 0; i < 4; ++i) memcpy(game(GAME_BASE + vq_def_table[i].rva), stock_sites[i], 5);
    CHECK(vqsdk_hex_match(game(0x5133BCu), 5, "e8 af fc ff ff") == 1);
    static const char ini[] = "[ReplayAutosave]\nDir=Saves\\From INI\nName=ini_%index%\n";
    CHECK(write_file("replay_autosave.ini", ini, sizeof ini - 1));
    char cwd[1024];
    CHECK(getcwd(cwd, sizeof cwd) != NULL);
    char module[1100];
    snprintf(module, sizeof module, "C:%s/game.exe", cwd);
    for (char *p = module; *p; ++p) *p = *p == '/' ? '\\' : *p;
    sim_set_module_path(module);

    /* VQ_Apply: a refused record changes nothing; an accepted one loads the
       settings into their storage, logs them and writes the four patches. */
    CHECK(VQ_Apply(NULL) == 0 && ra_game == 0 && ra_cfg_loaded == 0);
    const struct vq_host host = {1, GAME_BASE, 0, write_patch, log_line};
    CHECK(VQ_Apply(&host) == 1 && patches_written == 4);
    CHECK(ra_game == GAME_BASE && ra_log == log_line && ra_cfg_loaded == 1);
    CHECK(vq_ra_save_stock == 0x513070u && vq_ra_setup_stock == 0x4C6250u);
    CHECK(strcmp(last_line,
                 "replay autosave: enabled=1 dir=Saves\\From INI name=ini_%index% "
                 "clear_ip=1") == 0);
    CHECK(ra_enabled == 1 && strcmp(ra_dir, "Saves\\From INI") == 0 && ra_index_start == 1);
    CHECK(ra_clear_ip == 1 && strcmp(ra_tpls[0].key, "Name") == 0);
    CHECK(strcmp(ra_tpls[21].key, "mh_name") == 0 && ra_tpls[21].value[0] == '\0');

    /* A caller writes the settings storage through its own declarations; the
       plug-in reads what it wrote. The whole of Dir's 95 characters fit. */
    memset(ra_dir, 'D', 95);
    ra_dir[95] = '\0';
    CHECK(ra_build_dst(module, "x") == 1 && strlen(module) == 95 + 6);
    ra_stpcpy(ra_dir, "Saves");
    ra_stpcpy(ra_tpls[0].value, "pin_%index%");
    ra_index_start = 7;
    ra_clear_ip = 1;
    CHECK(ra_load_config() == 1); /* loaded once: nothing is read again */
    CHECK(ra_tpl_lookup("NAME") == ra_tpls[0].value && ra_pick_tpl() == ra_tpls[0].value);
    CHECK(strcmp(ra_tpls[0].value, "pin_%index%") == 0);
    CHECK(strlen(ra_default_tpl) == 36);

    /* The string functions. */
    char buf[300];
    CHECK(ra_stpcpy(buf, "abc") == buf + 3 && ra_ieq("Name", "NAME") == 1 &&
          ra_ieq("a", "ab") == 0);
    CHECK(ra_strstr("track_trn_md5", "track_tr_md5") == NULL);
    CHECK(ra_strstr(buf, "") == buf);

    /* Game memory, the race type code and the race context. The fill writes
       the documented record and nothing behind it. */
    CHECK(ra_image_mem(0x5BA21Cu) == (const void *)(uintptr_t)0x5BA21Cu);
    ra_track_folder(buf);
    CHECK(buf[0] == '\0');
    CHECK(vqra_type_code(0, 0, 0xFFFFFFFFu, 0, buf) == 2 && strcmp(buf, "SR") == 0);
    struct {
        struct ra_ctx ctx;
        uint32_t after;
    } guarded;
    memset(&guarded, 0xA5, sizeof guarded);
    game_put32(0x7C4CECu, 3); /* game_laps */
    ra_fill_ctx(&guarded.ctx, 9);
    CHECK(guarded.ctx.index == 9 && guarded.ctx.laps == 3 && strcmp(guarded.ctx.type, "SR") == 0);
    CHECK(guarded.after == 0xA5A5A5A5u);
    CHECK(strcmp(vqra_expand("%type%_%laps%L_%index%", &guarded.ctx, buf), "SR_3L_9") == 0);

    /* MD5 and the track digests. */
    struct vqmd5_ctx md5;
    memset(&md5, 0, sizeof md5);
    vqmd5_update(&md5, "abc", 3);
    CHECK(md5.count == 3 && memcmp(md5.block, "abc", 3) == 0);
    CHECK(write_file("abc.txt", "abc", 3));
    char digest[33];
    ra_file_md5("abc.txt", digest);
    CHECK(strcmp(digest, "900150983cd24fb0d6963f7d28e17f72") == 0);
    CHECK(mkdir("Tracks", 0755) == 0 && mkdir("Tracks/PIN", 0755) == 0);
    CHECK(write_file("Tracks/PIN/Tr.frd", "abc", 3));
    strcpy((char *)game(0x600000u), "Tracks\\");
    game_put32(0x5BD2E4u, 0x600000u); /* game_track_root */
    ra_track_md5("PIN", "Tr.frd", digest);
    CHECK(strcmp(digest, "900150983cd24fb0d6963f7d28e17f72") == 0);
    ra_md5_refresh();
    CHECK(ra_md5_valid == 1 && ra_md5_folder[0] == '\0' && ra_md5_tr[0] == '\0' &&
          ra_md5_trn[0] == '\0');

    /* The bounded appends. */
    uint32_t fill = 0;
    vqra_putc(buf, &fill, 'a');
    vqra_puts(buf, &fill, "b");
    vqra_putu(buf, &fill, 42);
    vqra_put2(buf, &fill, 7);
    vqra_put_safe(buf, &fill, "x:y");
    buf[fill] = '\0';
    CHECK(strcmp(buf, "ab4207x_y") == 0 && vqra_char_ok('a') == 1 && vqra_char_ok('*') == 0);
    CHECK(ra_quad_len((const uint8_t *)"1.2.3.4", 7) == 7);

    /* The stubs and a whole save through them: the game's replay, with an
       address to scrub, is copied under the template from the storage. */
    unsigned char replay[6400];
    memset(replay, 'r', sizeof replay);
    memcpy(replay + 100, "10.0.0.1", 8);
    CHECK(write_file("replay.rp4", replay, sizeof replay));
    strcpy((char *)game(0x600100u), "");
    game_put32(0x5BD2E0u, 0x600100u); /* game_replay_dir */
    ra_make_dirs();
    struct stat st;
    CHECK(stat("Saves", &st) == 0 && S_ISDIR(st.st_mode));
    vq_ra_save_stock = (uint32_t)(uintptr_t)stock_save;
    uint32_t (*volatile save_wrap)(void) = (uint32_t(*)(void))vq_ra_save_wrap;
    CHECK(save_wrap() == 0x5A5Eu && vq_ra_result == 0x5A5Eu);
    CHECK(strcmp(last_line, "replay autosave: Saves\\pin_7.rp4 (type=SR)") == 0);
    CHECK(read_file("Saves/pin_7.rp4", replay, sizeof replay) && replay[100] == 0 &&
          replay[99] == 'r' && replay[108] == 'r');
    vq_ra_after(); /* the next index: the first is taken */
    CHECK(strcmp(last_line, "replay autosave: Saves\\pin_8.rp4 (type=SR)") == 0);
    ra_clear_ip = 0;
    ra_enabled = 0;
    vq_ra_after();
    CHECK(access("Saves/pin_9.rp4", F_OK) != 0);
    ra_scrub_ip("Saves/pin_8.rp4");

    ra_start_valid = 0;
    vq_ra_setup_stock = (uint32_t)(uintptr_t)stock_setup;
    uint32_t (*volatile start_wrap)(void) = (uint32_t(*)(void))vq_ra_start_wrap;
    CHECK(start_wrap() == 0x5E7u && ra_start_valid == 1 && ra_start_time.year >= 1601);
    ra_start_time.year = 0;
    vq_ra_mark_start();
    CHECK(ra_start_time.year >= 1601);

    /* The career accessor's replacement: EAX points at the record. */
    uint32_t career[2] = {0x1D, 0x4};
    vq_ra_circ_type = -1;
    vq_ra_circ_id = 0;
    uint32_t answer;
    __asm__ volatile("call vq_ra_circ_hook"
                     : "=a"(answer)
                     : "a"(career)
                     : "ecx", "edx", "memory", "cc");
    CHECK(answer == 4 && vq_ra_circ_type == 4 && vq_ra_circ_id == 0x1D);

    if (failures != 0) {
        fprintf(stderr, "%d checks failed\n", failures);
        return 1;
    }
    printf("every declaration holds\n");
    return 0;
}
