// The PE loader on the shipped replay_autosave.vqp: loading at the preferred
// base and relocated, the exported records, calls into the DLL across both
// calling conventions, and a refusal with a clear message for every kind of
// damaged file.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>

#include <set>
#include <string>
#include <vector>

#include <windows.h>

#include "game_image.h"
#include "host/host.h"
#include "pe_format.h"
#include "pe_loader.h"
#include "plugin_state.h"
#include "test_host.h"

// Calls fn with nargs 32-bit arguments and records the stack pointer just
// before the call and just after it returns, and what EBX, ESI, EDI and EBP
// hold afterwards (they carry sentinels into the call). The caller's own
// stack pointer is restored from memory, so a callee that pops the wrong
// number of bytes is measured, not fatal.
extern "C" {
uint32_t pe_call_checked(void *fn, uint32_t nargs, const uint32_t *args);
uint32_t pe_frame_esp, pe_esp_before, pe_esp_after, pe_regs_after[4];
}
asm(R"(
    .text
    .globl pe_call_checked
    .type pe_call_checked, @function
pe_call_checked:
    push %ebp
    push %ebx
    push %esi
    push %edi
    mov %esp, pe_frame_esp
    mov 20(%esp), %eax          # fn
    mov 24(%esp), %ecx          # nargs
    mov 28(%esp), %edx          # args
1:  test %ecx, %ecx             # push the last argument first
    jz 2f
    push -4(%edx,%ecx,4)
    dec %ecx
    jmp 1b
2:  mov %esp, pe_esp_before
    mov $0x0B0B0B0B, %ebx
    mov $0x51515151, %esi
    mov $0xD1D1D1D1, %edi
    mov $0xB9B9B9B9, %ebp
    call *%eax
    mov %esp, pe_esp_after
    mov %ebx, pe_regs_after
    mov %esi, pe_regs_after+4
    mov %edi, pe_regs_after+8
    mov %ebp, pe_regs_after+12
    mov pe_frame_esp, %esp
    pop %edi
    pop %esi
    pop %ebx
    pop %ebp
    ret
    .size pe_call_checked, .-pe_call_checked
)");

namespace {

// Bytes a callee removed from the stack in the last pe_call_checked.
int32_t popped() { return (int32_t)(pe_esp_after - pe_esp_before); }

bool callee_saved_kept() {
    return pe_regs_after[0] == 0x0B0B0B0Bu && pe_regs_after[1] == 0x51515151u &&
           pe_regs_after[2] == 0xD1D1D1D1u && pe_regs_after[3] == 0xB9B9B9B9u;
}

uint32_t addr(const void *p) { return (uint32_t)(uintptr_t)p; }

// A loaded image that is unloaded whatever the test's outcome.
struct loaded {
    sim_pe_image image;
    std::string error;
    ~loaded() { sim_pe_unload(&image); }
    bool load(const std::string &path, bool force_relocate = false) {
        return sim_pe_load(path.c_str(), &image, &error, force_relocate);
    }
    bool holds(uint32_t a) const { return a - addr(image.base) < image.size; }
    template <typename T>
    T &data(const char *name) {
        void *p = sim_pe_export(image, name, &error);
        if (!p) {
            ADD_FAILURE() << error;
            static T none{};
            return none;
        }
        return *(T *)p;
    }
};

// Reading and patching a copy of the file in the test.
struct pe_bytes {
    std::string b;

    uint16_t get16(size_t at) const {
        uint16_t v;
        memcpy(&v, b.data() + at, 2);
        return v;
    }
    uint32_t get32(size_t at) const {
        uint32_t v;
        memcpy(&v, b.data() + at, 4);
        return v;
    }
    void put16(size_t at, uint16_t v) { memcpy(&b[at], &v, 2); }
    void put32(size_t at, uint32_t v) { memcpy(&b[at], &v, 4); }
    size_t lfanew() const { return get32(offsetof(pe_dos_header, e_lfanew)); }
    size_t file_header() const { return lfanew() + PE_SIGNATURE_SIZE; }
    size_t opt() const { return file_header() + sizeof(pe_file_header); }
    size_t dir(int slot) const {
        return opt() + offsetof(pe_optional_header32, data_directory) +
               slot * sizeof(pe_data_directory);
    }
    uint32_t image_base() const {
        return get32(opt() + offsetof(pe_optional_header32, image_base));
    }
    uint32_t sections() const {
        return get16(file_header() + offsetof(pe_file_header, number_of_sections));
    }
    // File offset of section header i.
    size_t section(uint32_t i) const {
        return opt() + get16(file_header() + offsetof(pe_file_header, size_of_optional_header)) +
               i * sizeof(pe_section_header);
    }
    pe_section_header header(uint32_t i) const {
        pe_section_header s;
        memcpy(&s, b.data() + section(i), sizeof s);
        return s;
    }
    size_t section_named(const char *name) const {
        for (uint32_t i = 0; i < sections(); i++) {
            if (strncmp(header(i).name, name, PE_SECTION_NAME_SIZE) == 0) return section(i);
        }
        ADD_FAILURE() << "no section " << name;
        return 0;
    }
    // File offset of an RVA inside a section's raw data.
    size_t raw(uint32_t rva) const {
        for (uint32_t i = 0; i < sections(); i++) {
            pe_section_header s = header(i);
            if (rva >= s.virtual_address && rva - s.virtual_address < s.size_of_raw_data) {
                return s.pointer_to_raw_data + (rva - s.virtual_address);
            }
        }
        ADD_FAILURE() << "RVA " << rva << " has no raw data";
        return 0;
    }
    // File offset of the first `text` inside the section that holds RVA rva.
    size_t find_near(uint32_t rva, const std::string &text) const {
        for (uint32_t i = 0; i < sections(); i++) {
            pe_section_header s = header(i);
            if (rva - s.virtual_address < s.size_of_raw_data) {
                size_t at = b.find(text, s.pointer_to_raw_data);
                if (at != std::string::npos && at < s.pointer_to_raw_data + s.size_of_raw_data) {
                    return at;
                }
            }
        }
        ADD_FAILURE() << "no " << text.c_str() << " near RVA " << rva;
        return 0;
    }
};

class PeLoader : public ::testing::Test {
protected:
    void SetUp() override {
        const char *env = getenv("RA_VQP");
        vqp = env ? env : "";
        original.b = ra_test_read_file(vqp);
        if (vqp.empty() || original.b.empty()) {
            GTEST_SKIP() << "no shipped DLL at $RA_VQP (" << vqp
                         << "): build the mingw preset first";
        }
        scratch = ra_test_scratch_dir();
    }

    // Writes a damaged copy and expects the load to fail with a message that
    // contains every one of parts.
    void expect_refused(const pe_bytes &copy, std::vector<std::string> parts,
                        bool force_relocate = false) {
        std::string path = scratch + "/damaged.vqp";
        ASSERT_TRUE(ra_test_write_file(path, copy.b));
        loaded l;
        EXPECT_FALSE(l.load(path, force_relocate)) << "loaded at " << (void *)l.image.base;
        EXPECT_EQ(l.image.base, nullptr);
        for (const std::string &part : parts) {
            EXPECT_NE(l.error.find(part), std::string::npos)
                << "message lacks \"" << part << "\": " << l.error;
        }
        EXPECT_EQ(l.error.find(path), 0u) << "message does not name the file: " << l.error;
    }

    std::string write_copy(const pe_bytes &copy) {
        std::string path = scratch + "/copy.vqp";
        EXPECT_TRUE(ra_test_write_file(path, copy.b));
        return path;
    }

    std::string vqp, scratch;
    pe_bytes original;
};

// The four patch sites as the game holds them before any patch.
void put_game_sites() {
    sim_game_map();
    const unsigned char finish[] = {0xE8, 0xAF, 0xFC, 0xFF, 0xFF};
    const unsigned char pause[] = {0xE8, 0x19, 0xD8, 0x07, 0x00};
    const unsigned char start[] = {0xE8, 0x22, 0xEA, 0xFC, 0xFF};
    const unsigned char career[] = {0x55, 0x89, 0xE5, 0x83, 0xEC};
    sim_game_put_bytes(0x5133BC, finish, 5);
    sim_game_put_bytes(0x495852, pause, 5);
    sim_game_put_bytes(0x4F7829, start, 5);
    sim_game_put_bytes(0x453090, career, 5);
}

// What the exported records of a loaded copy must hold.
void expect_exported_records(loaded &l) {
    std::vector<std::string> names = sim_pe_export_names(l.image);
    EXPECT_EQ(names, (std::vector<std::string>{"VQ_Apply", "vq_def_count", "vq_def_table",
                                               "vq_manifest_data"}));

    vq_manifest &m = l.data<vq_manifest>("vq_manifest_data");
    EXPECT_EQ(m.abi_version, 1u);
    EXPECT_STREQ(m.id, "replay.autosave");
    EXPECT_STREQ(m.version, "1.0.0");
    EXPECT_STREQ(m.description, "Replay Autosave: copy the last replay to SaveData\\Saves");
    EXPECT_EQ(m.host_value, 100u);
    EXPECT_EQ(m.check_rva, 0x113070u);
    EXPECT_STREQ(m.check_pattern, "53 51 52 56 57 55 89 e5 81 ec 08 01 00 00");
    for (uint32_t r : m.reserved) EXPECT_EQ(r, 0u);
    for (const char *text : {m.id, m.description, m.version, m.check_pattern}) {
        EXPECT_TRUE(l.holds(addr(text)));
    }

    EXPECT_EQ(l.data<uint32_t>("vq_def_count"), 4u);
    const vq_def *defs = l.data<const vq_def *>("vq_def_table");
    ASSERT_TRUE(l.holds(addr(defs)));
    const char *want[] = {"replay-autosave.finish", "replay-autosave.pause",
                          "replay-autosave.race-start", "replay-autosave.career-type"};
    for (int i = 0; i < 4; i++) {
        EXPECT_STREQ(defs[i].name, want[i]);
        EXPECT_TRUE(l.holds(defs[i].target))
            << want[i] << " targets 0x" << std::hex << defs[i].target;
        EXPECT_TRUE(l.holds(addr(defs[i].expect)));
    }
    EXPECT_EQ(defs[0].target, defs[1].target);  // both save sites share one stub
    EXPECT_NE(defs[0].target, defs[2].target);
}

// Where the table and what its entries point to lie, as offsets from the
// image base: what must survive a move.
std::vector<uint32_t> pointer_offsets(loaded &l) {
    uint32_t base = addr(l.image.base);
    const vq_def *defs = l.data<const vq_def *>("vq_def_table");
    if (!l.holds(addr(defs))) return {};
    std::vector<uint32_t> o{addr(defs) - base};
    for (int i = 0; i < 4; i++) {
        o.insert(o.end(),
                 {defs[i].target - base, addr(defs[i].name) - base, addr(defs[i].expect) - base});
    }
    return o;
}

// Loading the shipped file.
TEST_F(PeLoader, ShippedPluginLoadsAtItsPreferredBaseWithItsRecords) {
    loaded l;
    ASSERT_TRUE(l.load(vqp)) << l.error;
    EXPECT_FALSE(l.image.relocated);
    EXPECT_EQ(addr(l.image.base), original.image_base());
    expect_exported_records(l);
    // Only KERNEL32 and msvcrt are imported, each bound to its stand-in.
    for (const sim_pe_import &imp : l.image.imports) {
        EXPECT_TRUE(imp.dll == "KERNEL32.dll" || imp.dll == "msvcrt.dll") << imp.dll;
        EXPECT_EQ(imp.address, sim_pe_binding(imp.dll.c_str(), imp.name.c_str())) << imp.name;
        uint32_t slot;
        memcpy(&slot, l.image.base + imp.slot_rva, 4);
        EXPECT_EQ(slot, addr(imp.address)) << imp.name;
    }
    EXPECT_GE(l.image.imports.size(), 6u);
}

TEST_F(PeLoader, RelocatedLoadsMoveEveryPointerByTheirDelta) {
    loaded at_base;
    ASSERT_TRUE(at_base.load(vqp)) << at_base.error;
    ASSERT_FALSE(at_base.image.relocated);
    std::vector<uint32_t> offsets = pointer_offsets(at_base);

    // The preferred base is taken by the first copy: the second moves.
    loaded moved;
    ASSERT_TRUE(moved.load(vqp)) << moved.error;
    EXPECT_TRUE(moved.image.relocated);
    EXPECT_NE(moved.image.base, at_base.image.base);
    expect_exported_records(moved);
    EXPECT_EQ(pointer_offsets(moved), offsets);
    // ...and left the first copy alone.
    expect_exported_records(at_base);

    // With the base free again, forcing still moves the image.
    sim_pe_unload(&at_base.image);
    loaded forced;
    ASSERT_TRUE(forced.load(vqp, true)) << forced.error;
    EXPECT_TRUE(forced.image.relocated);
    EXPECT_NE(addr(forced.image.base), original.image_base());
    expect_exported_records(forced);
    EXPECT_EQ(pointer_offsets(forced), offsets);
}

// Calls into the DLL: VQ_Apply is cdecl and calls stdcall KERNEL32 functions
// and cdecl msvcrt functions; a binding of the wrong convention shifts the
// stack pointer or clobbers a register the caller keeps.
TEST_F(PeLoader, VqApplyThroughTheDllKeepsStackAndRegisters) {
    for (bool force : {false, true}) {
        SCOPED_TRACE(force ? "relocated" : "at the preferred base");
        ra_test_reset_plugin();
        sim_host_reset();
        put_game_sites();
        loaded l;
        ASSERT_TRUE(l.load(vqp, force)) << l.error;
        void *apply = sim_pe_export(l.image, "VQ_Apply", &l.error);
        ASSERT_NE(apply, nullptr) << l.error;

        // A record for another image base is refused before anything is touched.
        vq_host wrong = sim_host_record();
        wrong.image_base = 0x10000000;
        uint32_t arg = addr(&wrong);
        EXPECT_EQ(pe_call_checked(apply, 1, &arg), 0u);
        EXPECT_EQ(popped(), 0);
        EXPECT_TRUE(callee_saved_kept());
        EXPECT_TRUE(sim_host_writes.empty());
        EXPECT_TRUE(sim_host_log_lines.empty());
        EXPECT_EQ(sim_game_get32(0x5133BC), 0xFFFCAFE8u);

        // A valid record: the settings are read, the four sites patched into
        // the DLL's own stubs.
        vq_host host = sim_host_record();
        arg = addr(&host);
        EXPECT_EQ(pe_call_checked(apply, 1, &arg), 1u);
        EXPECT_EQ(popped(), 0);
        EXPECT_TRUE(callee_saved_kept());
        ASSERT_FALSE(sim_host_log_lines.empty());
        EXPECT_EQ(sim_host_log_lines[0].rfind("replay autosave: enabled=", 0), 0u)
            << sim_host_log_lines[0];
        const vq_def *defs = l.data<const vq_def *>("vq_def_table");
        ASSERT_EQ(sim_host_writes.size(), 4u);
        for (int i = 0; i < 4; i++) {
            const sim_patch_write &w = sim_host_writes[i];
            ASSERT_EQ(w.bytes.size(), 5u);
            uint32_t site = VQ_GAME_BASE + w.rva, rel;
            memcpy(&rel, w.bytes.data() + 1, 4);
            EXPECT_EQ(w.rva, defs[i].rva);
            EXPECT_EQ(site + 5 + rel, defs[i].target) << w.name;
            EXPECT_TRUE(l.holds(site + 5 + rel)) << w.name;
            EXPECT_EQ(memcmp(sim_game_ptr(site), w.bytes.data(), 5), 0) << w.name;
        }
    }
}

// Every binding, called with harmless arguments: KERNEL32 functions pop their
// arguments (stdcall), msvcrt functions leave them (cdecl).
TEST_F(PeLoader, BindingsFollowEachDllsCallingConvention) {
    struct call {
        const char *dll, *name;
        std::vector<uint32_t> args;
        int32_t pops;        // bytes the callee removes
        bool check = false;  // whether the result is known whatever the stand-in
        uint32_t result = 0;
    };
    char buf[MAX_PATH] = "a\\b\\c";
    char other[MAX_PATH] = "a\\b";
    SYSTEMTIME st;
    DWORD n = 0;
    const char *missing = "pe_loader_missing_dir\\nothing.ini";
    const char *missing2 = "pe_loader_missing_dir\\sub";
    const uint32_t bad = (uint32_t)(uintptr_t)INVALID_HANDLE_VALUE;
    const call calls[] = {
        {"KERNEL32.dll", "GetLocalTime", {addr(&st)}, 4},
        {"KERNEL32.dll", "GetModuleFileNameA", {0, addr(other), MAX_PATH}, 12},
        {"KERNEL32.dll",
         "GetPrivateProfileIntA",
         {addr("S"), addr("K"), 7, addr(missing)},
         16,
         true,
         7},
        {"KERNEL32.dll",
         "GetPrivateProfileStringA",
         {addr("S"), addr("K"), addr("d"), addr(other), MAX_PATH, addr(missing)},
         24},
        {"KERNEL32.dll",
         "CreateFileA",
         {addr(missing), GENERIC_READ, FILE_SHARE_READ, 0, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, 0},
         28,
         true,
         bad},
        {"KERNEL32.dll", "ReadFile", {bad, addr(other), 1, addr(&n), 0}, 20, true, FALSE},
        {"KERNEL32.dll", "WriteFile", {bad, addr(other), 1, addr(&n), 0}, 20, true, FALSE},
        {"KERNEL32.dll", "SetFilePointer", {bad, 0, 0, FILE_BEGIN}, 16},
        {"KERNEL32.dll", "CloseHandle", {bad}, 4},
        {"KERNEL32.dll", "GetFileAttributesA", {addr(missing)}, 4, true, INVALID_FILE_ATTRIBUTES},
        {"KERNEL32.dll", "CreateDirectoryA", {addr(missing2), 0}, 8, true, FALSE},
        {"KERNEL32.dll", "CopyFileA", {addr(missing), addr(missing2), 0}, 12, true, FALSE},
        {"KERNEL32.dll", "SetLastError", {0}, 4},
        {"KERNEL32.dll", "GetLastError", {}, 0},
        // The C library functions give the C library's results.
        {"msvcrt.dll", "strlen", {addr(buf)}, 0, true, 5},
        {"msvcrt.dll", "strrchr", {addr(buf), '\\'}, 0, true, addr(buf + 3)},
        {"msvcrt.dll", "strchr", {addr(buf), '\\'}, 0, true, addr(buf + 1)},
        {"msvcrt.dll", "strcmp", {addr(buf), addr("a\\b\\c")}, 0, true, 0},
        {"msvcrt.dll", "memcmp", {addr(buf), addr("a\\b"), 3}, 0, true, 0},
        {"msvcrt.dll", "memset", {addr(buf + 5), 0, 1}, 0, true, addr(buf + 5)},
        {"msvcrt.dll", "strcpy", {addr(other), addr(buf)}, 0, true, addr(other)},
    };
    for (const call &c : calls) {
        void *fn = sim_pe_binding(c.dll, c.name);
        ASSERT_NE(fn, nullptr) << c.name;
        uint32_t result = pe_call_checked(fn, (uint32_t)c.args.size(), c.args.data());
        EXPECT_EQ(popped(), c.pops) << c.name;
        EXPECT_TRUE(callee_saved_kept()) << c.name;
        if (c.check) {
            EXPECT_EQ(result, c.result) << c.name;
        }
    }
    EXPECT_STREQ(other, buf);

    // DLL names match without regard to letter case; function names exactly.
    EXPECT_EQ(sim_pe_binding("kernel32.DLL", "GetLocalTime"),
              sim_pe_binding("KERNEL32.dll", "GetLocalTime"));
    EXPECT_EQ(sim_pe_binding("MSVCRT.DLL", "memset"), sim_pe_binding("msvcrt.dll", "memset"));
    EXPECT_EQ(sim_pe_binding("KERNEL32.dll", "getlocaltime"), nullptr);
    EXPECT_EQ(sim_pe_binding("msvcrt.dll", "GetLocalTime"), nullptr);
    EXPECT_EQ(sim_pe_binding("user32.dll", "MessageBoxA"), nullptr);
}

// The image's own start-up and shutdown: TLS callbacks hear attach and
// detach; an entry point that says FALSE refuses the load.
extern "C" {
uint32_t pe_tls_module, pe_tls_reason, pe_tls_calls;
}

TEST_F(PeLoader, TlsCallbacksRunOnAttachAndDetach) {
    // Room at the end of some section's raw data for a callback, the TLS index,
    // the callback list and the directory; the section becomes executable.
    pe_bytes copy = original;
    const uint32_t need = 64;
    uint32_t sec = copy.sections();
    for (uint32_t i = 0; i < copy.sections(); i++) {
        pe_section_header s = copy.header(i);
        uint32_t used = (s.virtual_size + 3) & ~3u;
        if (s.size_of_raw_data >= used + need) {
            sec = i;
            break;
        }
    }
    if (sec == copy.sections()) GTEST_SKIP() << "no section has 64 spare bytes";
    pe_section_header s = copy.header(sec);
    uint32_t rva = s.virtual_address + ((s.virtual_size + 3) & ~3u);
    size_t at = s.pointer_to_raw_data + (rva - s.virtual_address);
    uint32_t va = copy.image_base() + rva;

    // mov eax,[esp+4]; mov [module],eax; mov eax,[esp+8]; mov [reason],eax;
    // inc dword [calls]; ret 12
    std::string code = "\x8B\x44\x24\x04\xA3....\x8B\x44\x24\x08\xA3....\xFF\x05....\xC2\x0C\x00";
    copy.b.replace(at, code.size(), code);
    copy.put32(at + 5, addr(&pe_tls_module));
    copy.put32(at + 14, addr(&pe_tls_reason));
    copy.put32(at + 20, addr(&pe_tls_calls));
    copy.put32(at + 28, 0xFFFFFFFF);  // TLS index, set to 0 by the loader
    copy.put32(at + 32, va);          // callback list: one entry, then 0
    copy.put32(at + 36, 0);
    pe_tls_directory32 tls = {0, 0, va + 28, va + 32, 0, 0};
    memcpy(&copy.b[at + 40], &tls, sizeof tls);
    copy.put32(copy.section(sec) + offsetof(pe_section_header, virtual_size),
               rva + need - s.virtual_address);
    copy.put32(copy.section(sec) + offsetof(pe_section_header, characteristics),
               s.characteristics | PE_SCN_MEM_EXECUTE | PE_SCN_MEM_READ);
    copy.put32(copy.dir(PE_DIR_TLS), rva + 40);
    copy.put32(copy.dir(PE_DIR_TLS) + 4, sizeof tls);

    pe_tls_calls = 0;
    loaded l;
    ASSERT_TRUE(l.load(write_copy(copy))) << l.error;
    ASSERT_FALSE(l.image.relocated);  // the list holds addresses for the preferred base
    EXPECT_EQ(pe_tls_calls, 1u);
    EXPECT_EQ(pe_tls_reason, PE_DLL_PROCESS_ATTACH);
    EXPECT_EQ(pe_tls_module, addr(l.image.base));
    uint32_t index;
    memcpy(&index, l.image.base + rva + 28, 4);
    EXPECT_EQ(index, 0u);
    sim_pe_unload(&l.image);
    EXPECT_EQ(pe_tls_calls, 2u);
    EXPECT_EQ(pe_tls_reason, PE_DLL_PROCESS_DETACH);
}

TEST_F(PeLoader, EntryPointReturningFalseRefusesTheLoad) {
    pe_bytes copy = original;
    uint32_t entry =
        copy.get32(copy.opt() + offsetof(pe_optional_header32, address_of_entry_point));
    copy.b.replace(copy.raw(entry), 5, "\x31\xC0\xC2\x0C\x00", 5);  // xor eax,eax; ret 12
    expect_refused(copy, {"entry point", "returned FALSE"});
    // Nothing of it stays mapped: the next load finds the preferred base free.
    loaded l;
    ASSERT_TRUE(l.load(vqp)) << l.error;
    EXPECT_FALSE(l.image.relocated);
}

// Damaged files, each refused with a message that names the damage.
TEST_F(PeLoader, TruncatedFileIsRefusedAtEveryCut) {
    size_t text = original.section_named(".text");
    uint32_t text_raw = original.get32(text + offsetof(pe_section_header, pointer_to_raw_data));
    uint32_t headers =
        original.get32(original.opt() + offsetof(pe_optional_header32, size_of_headers));
    size_t table_end = original.section(original.sections());
    ASSERT_LT(table_end, headers);
    struct cut {
        size_t size;
        std::vector<std::string> parts;
    };
    const cut cuts[] = {
        {0, {"truncated", "MZ header"}},
        {0x30, {"truncated", "MZ header"}},                       // inside the MZ header
        {original.lfanew() + 2, {"truncated", "PE header"}},      // inside the signature
        {original.opt() + 10, {"truncated", "optional header"}},  // inside the optional header
        {original.section(1) + 8, {"truncated", "section table"}},
        {table_end + 4, {"truncated", "headers span"}},  // before the first section
        {text_raw + 0x100, {"section .text", "outside the file"}},
    };
    for (const cut &c : cuts) {
        SCOPED_TRACE("cut at " + std::to_string(c.size));
        pe_bytes copy{original.b.substr(0, c.size)};
        expect_refused(copy, c.parts);
    }
}

TEST_F(PeLoader, SectionOrDirectoryOutsideTheFileOrImageIsRefused) {
    size_t data = original.section_named(".data");
    // Raw data past the end of the file, also by wrapping around 4 GiB.
    for (uint32_t pointer : {0x7FFFF000u, 0xFFFFFE00u}) {
        pe_bytes copy = original;
        copy.put32(data + offsetof(pe_section_header, pointer_to_raw_data), pointer);
        expect_refused(copy, {"section .data", "outside the file"});
    }
    // A section reaching past the end of the image.
    pe_bytes copy = original;
    copy.put32(data + offsetof(pe_section_header, virtual_size), 0x10000000);
    expect_refused(copy, {"section .data", "beyond the image"});
    // A section placed over the one before it.
    copy = original;
    copy.put32(data + offsetof(pe_section_header, virtual_address), 0x1000);
    expect_refused(copy, {"section .data", "overlaps section .text"});
    // A directory outside the image.
    copy = original;
    copy.put32(copy.dir(PE_DIR_IMPORT), 0x7FFF0000);
    expect_refused(copy, {"import directory", "outside the image"});
}

TEST_F(PeLoader, ForeignOrDamagedHeadersAreRefused) {
    size_t fh = original.file_header();
    // Another machine.
    pe_bytes copy = original;
    copy.put16(fh + offsetof(pe_file_header, machine), 0x8664);
    expect_refused(copy, {"machine 0x8664", "not i386"});
    // A program rather than a DLL.
    copy = original;
    uint16_t flags = copy.get16(fh + offsetof(pe_file_header, characteristics));
    copy.put16(fh + offsetof(pe_file_header, characteristics), flags & ~PE_FILE_DLL);
    expect_refused(copy, {"not a DLL"});
    // A 64-bit optional header.
    copy = original;
    copy.put16(copy.opt(), PE_OPTIONAL_MAGIC_PE32_PLUS);
    expect_refused(copy, {"magic 0x20B", "not PE32", "64-bit"});
    // No MZ signature, no PE signature.
    copy = original;
    copy.b[0] = 'X';
    expect_refused(copy, {"no MZ signature"});
    copy = original;
    copy.put32(copy.lfanew(), 0x00004C45);
    expect_refused(copy, {"no PE signature"});
    // No sections, or more than the format allows.
    for (uint16_t n : {0, 97}) {
        copy = original;
        copy.put16(fh + offsetof(pe_file_header, number_of_sections), n);
        expect_refused(copy, {std::to_string(n) + " sections"});
    }
    // Sections that could not get protections of their own.
    copy = original;
    copy.put32(copy.opt() + offsetof(pe_optional_header32, section_alignment), 0x200);
    expect_refused(copy, {"section alignment 0x200", "page size"});
    // Not a file at all.
    loaded l;
    EXPECT_FALSE(l.load(scratch + "/absent.vqp"));
    EXPECT_NE(l.error.find("absent.vqp: cannot open the file"), std::string::npos) << l.error;
}

TEST_F(PeLoader, ImportsBindByNameOrAreRefusedByName) {
    uint32_t imports = original.get32(original.dir(PE_DIR_IMPORT));
    // A function that no stand-in exists for.
    pe_bytes copy = original;
    copy.b[copy.find_near(imports, std::string("strrchr\0", 8)) + 6] = 'x';
    expect_refused(copy, {"unknown import", "msvcrt.dll!strrchx"});
    // A DLL that no stand-in exists for.
    copy = original;
    copy.b.replace(copy.find_near(imports, "KERNEL32.dll"), 12, "KERNEL33.dll");
    expect_refused(copy, {"unknown import", "KERNEL33.dll!"});
    // An import by ordinal: the first entry of the first DLL.
    copy = original;
    size_t first = copy.raw(imports);
    std::string dll = copy.b.c_str() + copy.raw(copy.get32(first + 12));
    uint32_t lookup = copy.get32(first) ? copy.get32(first) : copy.get32(first + 16);
    copy.put32(copy.raw(lookup), PE_IMPORT_BY_ORDINAL | 5);
    expect_refused(copy, {dll + "!#5", "by ordinal"});
    // DLL names are compared without regard to letter case.
    copy = original;
    copy.b.replace(copy.find_near(imports, "msvcrt.dll"), 10, "MSVCRT.DLL");
    loaded l;
    ASSERT_TRUE(l.load(write_copy(copy))) << l.error;
    bool saw = false;
    for (const sim_pe_import &imp : l.image.imports) saw |= imp.dll == "MSVCRT.DLL";
    EXPECT_TRUE(saw);
}

TEST_F(PeLoader, RelocationsAreNeededOnlyWhenTheImageMoves) {
    pe_bytes copy = original;
    copy.put32(copy.dir(PE_DIR_BASERELOC), 0);
    copy.put32(copy.dir(PE_DIR_BASERELOC) + 4, 0);
    // At its preferred base an image without relocations loads...
    {
        loaded l;
        ASSERT_TRUE(l.load(write_copy(copy))) << l.error;
        EXPECT_FALSE(l.image.relocated);
    }
    // ...moved, it cannot.
    expect_refused(copy, {"no base relocation directory", "preferred base"}, true);
    // Only HIGHLOW relocations (and ABSOLUTE padding) are understood.
    copy = original;
    size_t first = copy.raw(copy.get32(copy.dir(PE_DIR_BASERELOC))) + sizeof(pe_base_relocation);
    copy.put16(first, (uint16_t)((copy.get16(first) & 0x0FFF) | 0xA000));  // type 10, 64-bit words
    expect_refused(copy, {"relocation of type 10", "not supported"}, true);
}

TEST_F(PeLoader, ExportsResolveByNameAndForwardersAreRefused) {
    loaded l;
    ASSERT_TRUE(l.load(vqp)) << l.error;
    std::string error;
    EXPECT_EQ(sim_pe_export(l.image, "VQ_Remove", &error), nullptr);
    EXPECT_NE(error.find("no export named VQ_Remove"), std::string::npos) << error;
    EXPECT_EQ(sim_pe_export(l.image, "vq_apply", &error), nullptr);  // names are exact

    // Every export turned into a forwarder (to the DLL's own name text).
    pe_bytes copy = original;
    size_t dir = copy.raw(copy.get32(copy.dir(PE_DIR_EXPORT)));
    uint32_t own_name = copy.get32(dir + offsetof(pe_export_directory, name));
    uint32_t count = copy.get32(dir + offsetof(pe_export_directory, number_of_functions));
    size_t functions =
        copy.raw(copy.get32(dir + offsetof(pe_export_directory, address_of_functions)));
    for (uint32_t i = 0; i < count; i++) copy.put32(functions + 4 * i, own_name);
    loaded forwarded;
    ASSERT_TRUE(forwarded.load(write_copy(copy))) << forwarded.error;
    EXPECT_EQ(sim_pe_export(forwarded.image, "VQ_Apply", &error), nullptr);
    EXPECT_NE(error.find("VQ_Apply is forwarded to replay_autosave.vqp"), std::string::npos)
        << error;
}

}  // namespace
