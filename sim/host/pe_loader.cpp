// Loading a 32-bit PE DLL into this process. The file is read whole and every
// header checked against its size before anything is mapped; once mapped,
// every RVA is checked against the image before it is followed. Nothing of
// the DLL runs before its relocations, imports, exports and TLS directory
// have all passed.
#include "pe_loader.h"

#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <windows.h>

#include "pe_format.h"

#if defined(__i386__)
#define PE_STDCALL __attribute__((stdcall))
#else
#define PE_STDCALL
#endif

namespace {

// Protections are set per page, so sections must start on page boundaries.
constexpr uint32_t pe_page = 4096;
// The format's own limit on sections; more means a corrupt header.
constexpr uint32_t pe_max_sections = 96;
// Far beyond any plug-in; a larger file or image is taken as corrupt.
constexpr uint32_t pe_max_bytes = 256u << 20;
// Far beyond what a tool chain's runtime registers.
constexpr uint32_t pe_max_tls_callbacks = 64;

typedef BOOL(PE_STDCALL *pe_entry_fn)(HINSTANCE, DWORD, LPVOID);
typedef void(PE_STDCALL *pe_tls_fn)(LPVOID, DWORD, LPVOID);

__attribute__((format(printf, 1, 2))) std::string pe_msg(const char *format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

// clang-format off
const char *const pe_dir_names[PE_DIR_SLOTS] = {
    "export", "import", "resource", "exception", "security", "base relocation", "debug",
    "architecture", "global pointer", "TLS", "load configuration", "bound import",
    "import address table", "delay import", "runtime header", "reserved"};
// clang-format on

uint32_t pe_align_up(uint32_t value, uint32_t alignment) {
    return (uint32_t)(((uint64_t)value + alignment - 1) / alignment * alignment);
}

std::string pe_section_name(const pe_section_header &s) {
    size_t n = strnlen(s.name, PE_SECTION_NAME_SIZE);
    return n ? std::string(s.name, n) : std::string("(unnamed)");
}

// Bytes a section occupies in memory; old linkers leave virtual_size 0.
uint32_t pe_section_span(const pe_section_header &s) {
    return s.virtual_size ? s.virtual_size : s.size_of_raw_data;
}

// Windows has no write-only or execute-only pages on x86: any access right
// makes a section readable.
int pe_section_prot(const pe_section_header &s) {
    int prot = PROT_NONE;
    if (s.characteristics & (PE_SCN_MEM_READ | PE_SCN_MEM_WRITE | PE_SCN_MEM_EXECUTE)) {
        prot |= PROT_READ;
    }
    if (s.characteristics & PE_SCN_MEM_WRITE) prot |= PROT_WRITE;
    if (s.characteristics & PE_SCN_MEM_EXECUTE) prot |= PROT_EXEC;
    return prot;
}

// The file's bytes, read with bounds checks.
struct pe_file {
    std::vector<unsigned char> bytes;

    bool has(uint64_t offset, uint64_t length) const {
        return offset <= bytes.size() && length <= bytes.size() - offset;
    }
    template <typename T>
    bool read(uint64_t offset, T *out) const {
        if (!has(offset, sizeof(T))) return false;
        memcpy(out, bytes.data() + offset, sizeof(T));
        return true;
    }
};

// The headers, checked against the file.
struct pe_headers {
    uint32_t lfanew = 0;
    pe_file_header file{};
    pe_optional_header32 opt{};  // slots past number_of_rva_and_sizes are zero
    std::vector<pe_section_header> sections;

    bool has_dir(int slot) const { return opt.data_directory[slot].virtual_address != 0; }
    const pe_data_directory &dir(int slot) const { return opt.data_directory[slot]; }
    // The section holding rva, or null.
    const pe_section_header *section_at(uint32_t rva) const {
        for (const pe_section_header &s : sections) {
            if (rva >= s.virtual_address && rva - s.virtual_address < pe_section_span(s)) {
                return &s;
            }
        }
        return nullptr;
    }
    bool executable_at(uint32_t rva) const {
        const pe_section_header *s = section_at(rva);
        return s && (s->characteristics & PE_SCN_MEM_EXECUTE);
    }
};

// The mapped image, read and written with bounds checks.
struct pe_mapped {
    unsigned char *base;
    uint32_t size;

    bool has(uint32_t rva, uint64_t length) const {
        return rva <= size && length <= (uint64_t)size - rva;
    }
    template <typename T>
    bool read(uint32_t rva, T *out) const {
        if (!has(rva, sizeof(T))) return false;
        memcpy(out, base + rva, sizeof(T));
        return true;
    }
    bool put32(uint32_t rva, uint32_t value) {
        if (!has(rva, 4)) return false;
        memcpy(base + rva, &value, 4);
        return true;
    }
    // A NUL-terminated text that lies wholly inside the image.
    bool text(uint32_t rva, std::string *out) const {
        if (rva >= size) return false;
        const void *end = memchr(base + rva, 0, size - rva);
        if (!end) return false;
        out->assign((const char *)(base + rva), (const char *)end);
        return true;
    }
    uint32_t address(uint32_t rva) const { return (uint32_t)(uintptr_t)(base + rva); }
    // The RVA of a virtual address, when it lies inside the image.
    bool rva_of(uint32_t va, uint32_t *rva) const {
        uint32_t r = va - address(0);
        if (r >= size) return false;
        *rva = r;
        return true;
    }
};

bool pe_read_file(const char *path, pe_file *file, std::string *why) {
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        *why = pe_msg("cannot open the file: %s", strerror(errno));
        return false;
    }
    bool ok = false;
    struct stat st;
    if (fstat(fd, &st) != 0) {
        *why = pe_msg("cannot read the file: %s", strerror(errno));
    } else if (!S_ISREG(st.st_mode)) {
        *why = "not a regular file";
    } else if ((uint64_t)st.st_size > pe_max_bytes) {
        *why = pe_msg("a file of %lld bytes is too large for a plug-in", (long long)st.st_size);
    } else {
        file->bytes.resize((size_t)st.st_size);
        size_t got = 0;
        ssize_t n = 1;
        while (got < file->bytes.size() &&
               (n = read(fd, file->bytes.data() + got, file->bytes.size() - got)) > 0) {
            got += (size_t)n;
        }
        ok = got == file->bytes.size();
        if (!ok) *why = pe_msg("cannot read the file: %s", n < 0 ? strerror(errno) : "it shrank");
    }
    close(fd);
    return ok;
}

bool pe_check_sections(const pe_file &f, const pe_headers &h, std::string *why) {
    const pe_optional_header32 &o = h.opt;
    uint32_t previous_end = o.size_of_headers;
    const char *previous = "the headers";
    std::string previous_name;
    for (const pe_section_header &s : h.sections) {
        std::string name = pe_section_name(s);
        uint32_t span = pe_section_span(s);
        if (s.virtual_address % o.section_alignment != 0) {
            *why = pe_msg("section %s: RVA 0x%X is not a multiple of the section alignment 0x%X",
                          name.c_str(), s.virtual_address, o.section_alignment);
            return false;
        }
        if (s.virtual_address < previous_end) {
            *why = pe_msg("section %s at RVA 0x%X overlaps %s (up to RVA 0x%X)", name.c_str(),
                          s.virtual_address, previous, previous_end);
            return false;
        }
        if ((uint64_t)s.virtual_address + span > o.size_of_image) {
            *why = pe_msg(
                "section %s (RVA 0x%X, 0x%X bytes) extends beyond the image "
                "(SizeOfImage 0x%X)",
                name.c_str(), s.virtual_address, span, o.size_of_image);
            return false;
        }
        if (s.size_of_raw_data != 0 && !f.has(s.pointer_to_raw_data, s.size_of_raw_data)) {
            *why = pe_msg(
                "section %s: raw data at file offset 0x%X, 0x%X bytes, lies outside "
                "the file (0x%zX bytes): truncated file or corrupt section header",
                name.c_str(), s.pointer_to_raw_data, s.size_of_raw_data, f.bytes.size());
            return false;
        }
        previous_end = s.virtual_address + span;
        previous_name = "section " + name;
        previous = previous_name.c_str();
    }
    return true;
}

// Everything about the headers that can be checked against the file alone.
bool pe_check_headers(const pe_file &f, pe_headers *h, std::string *why) {
    pe_dos_header dos;
    if (!f.read(0, &dos)) {
        *why = pe_msg("truncated file: %zu bytes cannot hold the %zu-byte MZ header",
                      f.bytes.size(), sizeof dos);
        return false;
    }
    if (dos.e_magic != PE_DOS_MAGIC) {
        *why = pe_msg("no MZ signature at the start (found 0x%04X): not a Windows executable",
                      dos.e_magic);
        return false;
    }
    h->lfanew = dos.e_lfanew;
    uint64_t file_header_at = (uint64_t)h->lfanew + PE_SIGNATURE_SIZE;
    uint32_t signature;
    if (!f.read(h->lfanew, &signature) || !f.read(file_header_at, &h->file)) {
        *why = pe_msg(
            "truncated file: the PE header at file offset 0x%X lies beyond the end of "
            "the file (0x%zX bytes)",
            h->lfanew, f.bytes.size());
        return false;
    }
    if (signature != PE_NT_SIGNATURE) {
        *why = pe_msg("no PE signature at file offset 0x%X (found 0x%08X)", h->lfanew, signature);
        return false;
    }
    const pe_file_header &fh = h->file;
    if (fh.machine != PE_MACHINE_I386) {
        *why = pe_msg("machine 0x%04X is not i386 (0x%04X)", fh.machine, PE_MACHINE_I386);
        return false;
    }
    if (!(fh.characteristics & PE_FILE_EXECUTABLE_IMAGE)) {
        *why = pe_msg("not an executable image (characteristics 0x%04X): an object file?",
                      fh.characteristics);
        return false;
    }
    if (!(fh.characteristics & PE_FILE_DLL)) {
        *why = pe_msg("not a DLL: the DLL flag is not set in the characteristics 0x%04X",
                      fh.characteristics);
        return false;
    }

    // The optional header: its fixed part, then as many data directory
    // slots as it declares (at most the 16 the format defines).
    uint64_t opt_at = file_header_at + sizeof(pe_file_header);
    if (fh.size_of_optional_header < PE_OPTIONAL_FIXED_SIZE) {
        *why = pe_msg("optional header of %u bytes is too small for PE32 (at least %zu)",
                      fh.size_of_optional_header, PE_OPTIONAL_FIXED_SIZE);
        return false;
    }
    if (!f.has(opt_at, fh.size_of_optional_header)) {
        *why = pe_msg(
            "truncated file: the optional header (file offset 0x%llX, %u bytes) "
            "runs past the end of the file (0x%zX bytes)",
            (unsigned long long)opt_at, fh.size_of_optional_header, f.bytes.size());
        return false;
    }
    pe_optional_header32 &o = h->opt;
    memcpy(&o, f.bytes.data() + opt_at, PE_OPTIONAL_FIXED_SIZE);
    if (o.magic != PE_OPTIONAL_MAGIC_PE32) {
        *why = pe_msg("optional header magic 0x%03X is not PE32 (0x%03X)%s", o.magic,
                      PE_OPTIONAL_MAGIC_PE32,
                      o.magic == PE_OPTIONAL_MAGIC_PE32_PLUS ? ": a 64-bit image" : "");
        return false;
    }
    uint32_t slots =
        o.number_of_rva_and_sizes < PE_DIR_SLOTS ? o.number_of_rva_and_sizes : PE_DIR_SLOTS;
    if (PE_OPTIONAL_FIXED_SIZE + (uint64_t)o.number_of_rva_and_sizes * sizeof(pe_data_directory) >
        fh.size_of_optional_header) {
        *why = pe_msg("%u data directory entries do not fit the optional header of %u bytes",
                      o.number_of_rva_and_sizes, fh.size_of_optional_header);
        return false;
    }
    memcpy(o.data_directory, f.bytes.data() + opt_at + PE_OPTIONAL_FIXED_SIZE,
           slots * sizeof(pe_data_directory));

    // The section table follows the optional header and belongs to the headers.
    if (fh.number_of_sections == 0 || fh.number_of_sections > pe_max_sections) {
        *why =
            pe_msg("%u sections: a sane image has 1 to %u", fh.number_of_sections, pe_max_sections);
        return false;
    }
    uint64_t table_at = opt_at + fh.size_of_optional_header;
    uint64_t table_size = (uint64_t)fh.number_of_sections * sizeof(pe_section_header);
    if (!f.has(table_at, table_size)) {
        *why = pe_msg(
            "truncated file: the section table (%u entries at file offset 0x%llX) runs "
            "past the end of the file (0x%zX bytes)",
            fh.number_of_sections, (unsigned long long)table_at, f.bytes.size());
        return false;
    }
    h->sections.resize(fh.number_of_sections);
    memcpy(h->sections.data(), f.bytes.data() + table_at, table_size);

    if (o.section_alignment < pe_page || o.section_alignment % pe_page != 0) {
        *why = pe_msg(
            "section alignment 0x%X is not a multiple of the page size 0x%X: sections "
            "could not get protections of their own",
            o.section_alignment, pe_page);
        return false;
    }
    if (o.image_base % pe_page != 0) {
        *why = pe_msg("preferred base 0x%X is not page-aligned", o.image_base);
        return false;
    }
    if (o.size_of_image == 0 || o.size_of_image > pe_max_bytes ||
        (uint64_t)o.image_base + o.size_of_image > 0x100000000ull) {
        *why = pe_msg("image size 0x%X at preferred base 0x%X is not sane", o.size_of_image,
                      o.image_base);
        return false;
    }
    if (o.size_of_headers < table_at + table_size || o.size_of_headers > o.size_of_image) {
        *why = pe_msg(
            "header size 0x%X does not cover the section table (which ends at 0x%llX) "
            "or exceeds the image (0x%X)",
            o.size_of_headers, (unsigned long long)(table_at + table_size), o.size_of_image);
        return false;
    }
    if (!f.has(0, o.size_of_headers)) {
        *why = pe_msg("truncated file: the headers span 0x%X bytes, the file has 0x%zX",
                      o.size_of_headers, f.bytes.size());
        return false;
    }
    if (!pe_check_sections(f, *h, why)) return false;

    for (uint32_t i = 0; i < slots; i++) {
        const pe_data_directory &d = o.data_directory[i];
        // The certificate table is the one entry that holds a file offset,
        // and is never loaded.
        if (i == PE_DIR_SECURITY) continue;
        if (d.virtual_address != 0 && (uint64_t)d.virtual_address + d.size > o.size_of_image) {
            *why = pe_msg(
                "the %s directory (RVA 0x%X, 0x%X bytes) lies outside the image "
                "(0x%X bytes)",
                pe_dir_names[i], d.virtual_address, d.size, o.size_of_image);
            return false;
        }
    }
    if (o.address_of_entry_point != 0 && !h->executable_at(o.address_of_entry_point)) {
        *why = pe_msg("the entry point at RVA 0x%X does not lie in an executable section",
                      o.address_of_entry_point);
        return false;
    }
    return true;
}

// Maps SizeOfImage bytes, read-write for now: at the preferred base when it is
// free (and not refused), anywhere else otherwise.
unsigned char *pe_map(uint32_t preferred, uint32_t size, bool avoid_preferred, std::string *why) {
    void *want = (void *)(uintptr_t)preferred;
    void *got = MAP_FAILED;
    int prot = PROT_READ | PROT_WRITE;
    int flags = MAP_PRIVATE | MAP_ANONYMOUS;
    if (!avoid_preferred) {
        // Older kernels and qemu-user take MAP_FIXED_NOREPLACE as a mere hint
        // and may place the mapping elsewhere; such a mapping is as good as
        // any other, since the image is then relocated.
        got = mmap(want, size, prot, flags | MAP_FIXED_NOREPLACE, -1, 0);
    }
    if (got == MAP_FAILED) got = mmap(nullptr, size, prot, flags, -1, 0);
    if (got != MAP_FAILED && got == want && avoid_preferred) {
        // Chance put it on the very base we must avoid: take another while
        // this one keeps the base occupied.
        void *other = mmap(nullptr, size, prot, flags, -1, 0);
        munmap(got, size);
        got = other;
    }
    if (got == MAP_FAILED) {
        *why = pe_msg("cannot map 0x%X bytes for the image: %s", size, strerror(errno));
        return nullptr;
    }
    return (unsigned char *)got;
}

void pe_copy(const pe_file &f, const pe_headers &h, unsigned char *base) {
    memcpy(base, f.bytes.data(), h.opt.size_of_headers);
    for (const pe_section_header &s : h.sections) {
        uint32_t span = pe_section_span(s);
        uint32_t n = s.size_of_raw_data < span ? s.size_of_raw_data : span;
        // The rest of the section is uninitialised data and stays zero.
        if (n) memcpy(base + s.virtual_address, f.bytes.data() + s.pointer_to_raw_data, n);
    }
}

// Adds the distance between the actual and the preferred base to every
// absolute address the relocation directory lists.
bool pe_relocate(const pe_headers &h, pe_mapped *m, std::string *why) {
    uint32_t preferred = h.opt.image_base;
    if (!h.has_dir(PE_DIR_BASERELOC) || (h.file.characteristics & PE_FILE_RELOCS_STRIPPED)) {
        *why = pe_msg(
            "the image must move from its preferred base 0x%X to 0x%X but has no base "
            "relocation directory",
            preferred, m->address(0));
        return false;
    }
    uint32_t delta = m->address(0) - preferred;
    const pe_data_directory &d = h.dir(PE_DIR_BASERELOC);
    uint32_t at = d.virtual_address;
    uint32_t end = d.virtual_address + d.size;  // inside the image: checked with the headers
    while (end - at >= sizeof(pe_base_relocation)) {
        pe_base_relocation block{};
        m->read(at, &block);
        if (block.size_of_block < sizeof block || block.size_of_block > end - at ||
            block.size_of_block % 2 != 0) {
            *why = pe_msg("base relocation block at RVA 0x%X has a bad size 0x%X", at,
                          block.size_of_block);
            return false;
        }
        uint32_t entries = (block.size_of_block - sizeof block) / 2;
        for (uint32_t i = 0; i < entries; i++) {
            uint16_t entry = 0;
            m->read(at + sizeof block + 2 * i, &entry);
            uint32_t type = entry >> 12;
            uint32_t rva = block.virtual_address + (entry & 0x0FFFu);
            if (type == PE_REL_BASED_ABSOLUTE) continue;
            uint32_t word;
            if (type != PE_REL_BASED_HIGHLOW) {
                *why = pe_msg(
                    "base relocation of type %u at RVA 0x%X is not supported (only "
                    "HIGHLOW, type 3)",
                    type, rva);
                return false;
            }
            if (!m->read(rva, &word)) {
                *why = pe_msg("base relocation at RVA 0x%X lies outside the image", rva);
                return false;
            }
            m->put32(rva, word + delta);
        }
        at += block.size_of_block;
    }
    return true;
}

// Fills the import address tables from the binding table, by name.
bool pe_bind_imports(const pe_headers &h, pe_mapped *m, std::vector<sim_pe_import> *bound,
                     std::string *why) {
    if (!h.has_dir(PE_DIR_IMPORT)) return true;
    for (uint32_t at = h.dir(PE_DIR_IMPORT).virtual_address;; at += sizeof(pe_import_descriptor)) {
        pe_import_descriptor desc;
        if (!m->read(at, &desc)) {
            *why = pe_msg(
                "the import directory runs past the end of the image without its "
                "closing entry");
            return false;
        }
        if (desc.name == 0 || desc.first_thunk == 0) break;
        std::string dll;
        if (!m->text(desc.name, &dll)) {
            *why = pe_msg(
                "import descriptor at RVA 0x%X: the DLL name at RVA 0x%X lies outside "
                "the image",
                at, desc.name);
            return false;
        }
        uint32_t lookup = desc.original_first_thunk ? desc.original_first_thunk : desc.first_thunk;
        for (uint32_t i = 0;; i++) {
            uint32_t entry;
            uint32_t slot = desc.first_thunk + 4 * i;
            if (!m->read(lookup + 4 * i, &entry) || !m->has(slot, 4)) {
                *why = pe_msg("imports of %s run past the end of the image", dll.c_str());
                return false;
            }
            if (entry == 0) break;
            if (entry & PE_IMPORT_BY_ORDINAL) {
                *why = pe_msg("import %s!#%u is by ordinal: only imports by name are supported",
                              dll.c_str(), entry & 0xFFFFu);
                return false;
            }
            std::string name;
            if (!m->text(entry + 2, &name)) {  // after the 16-bit hint
                *why = pe_msg("an import of %s names a function at RVA 0x%X, outside the image",
                              dll.c_str(), entry);
                return false;
            }
            void *address = sim_pe_binding(dll.c_str(), name.c_str());
            if (!address) {
                *why = sim_pe_dll_known(dll.c_str())
                           ? pe_msg("unknown import %s!%s: the simulated %s has no function %s",
                                    dll.c_str(), name.c_str(), dll.c_str(), name.c_str())
                           : pe_msg("unknown import %s!%s: the simulated process has no %s",
                                    dll.c_str(), name.c_str(), dll.c_str());
                return false;
            }
            m->put32(slot, (uint32_t)(uintptr_t)address);
            bound->push_back({dll, name, slot, address});
        }
    }
    return true;
}

struct pe_exports {
    pe_export_directory dir;
    uint32_t rva, size;  // of the directory, for spotting forwarders
};

bool pe_read_exports(const pe_mapped &m, uint32_t rva, uint32_t size, pe_exports *e) {
    e->rva = rva;
    e->size = size;
    return m.read(rva, &e->dir);
}

// The export directory's tables, each name and each ordinal inside the image.
bool pe_check_exports(const pe_headers &h, const pe_mapped &m, std::string *why) {
    if (!h.has_dir(PE_DIR_EXPORT)) return true;
    pe_exports e;
    if (!pe_read_exports(m, h.dir(PE_DIR_EXPORT).virtual_address, h.dir(PE_DIR_EXPORT).size, &e)) {
        *why = "the export directory lies outside the image";
        return false;
    }
    const pe_export_directory &d = e.dir;
    if (!m.has(d.address_of_functions, 4ull * d.number_of_functions) ||
        !m.has(d.address_of_names, 4ull * d.number_of_names) ||
        !m.has(d.address_of_name_ordinals, 2ull * d.number_of_names)) {
        *why = pe_msg("export directory: its tables (%u functions, %u names) lie outside the image",
                      d.number_of_functions, d.number_of_names);
        return false;
    }
    for (uint32_t i = 0; i < d.number_of_names; i++) {
        uint32_t name_rva = 0;
        uint16_t index = 0;
        std::string name;
        m.read(d.address_of_names + 4 * i, &name_rva);
        m.read(d.address_of_name_ordinals + 2 * i, &index);
        if (!m.text(name_rva, &name)) {
            *why = pe_msg("export name %u at RVA 0x%X lies outside the image", i, name_rva);
            return false;
        }
        if (index >= d.number_of_functions) {
            *why = pe_msg("export %s refers to function %u of %u", name.c_str(), index,
                          d.number_of_functions);
            return false;
        }
        uint32_t function = 0;
        m.read(d.address_of_functions + 4 * index, &function);
        if (function >= m.size) {
            *why = pe_msg("export %s at RVA 0x%X lies outside the image", name.c_str(), function);
            return false;
        }
    }
    return true;
}

// Records the TLS callbacks and gives the image its TLS slot. The addresses
// in the directory are virtual addresses, already relocated.
bool pe_prepare_tls(const pe_headers &h, pe_mapped *m, std::vector<uint32_t> *callbacks,
                    std::string *why) {
    if (!h.has_dir(PE_DIR_TLS)) return true;
    pe_tls_directory32 tls;
    if (!m->read(h.dir(PE_DIR_TLS).virtual_address, &tls)) {
        *why = "the TLS directory lies outside the image";
        return false;
    }
    uint32_t rva;
    if (tls.address_of_index != 0) {
        // One image, one thread: the image gets slot 0.
        if (!m->rva_of(tls.address_of_index, &rva) || !m->put32(rva, 0)) {
            *why = pe_msg("the TLS index at 0x%X lies outside the image", tls.address_of_index);
            return false;
        }
    }
    if (tls.address_of_callbacks == 0) return true;
    uint32_t list;
    if (!m->rva_of(tls.address_of_callbacks, &list)) {
        *why = pe_msg("the TLS callback list at 0x%X lies outside the image",
                      tls.address_of_callbacks);
        return false;
    }
    for (uint32_t i = 0;; i++) {
        uint32_t va;
        if (i == pe_max_tls_callbacks || !m->read(list + 4 * i, &va)) {
            *why = pe_msg("the TLS callback list at 0x%X has no end inside the image",
                          tls.address_of_callbacks);
            return false;
        }
        if (va == 0) break;
        if (!m->rva_of(va, &rva) || !h.executable_at(rva)) {
            *why = pe_msg("TLS callback %u at 0x%X does not lie in an executable section", i, va);
            return false;
        }
        callbacks->push_back(rva);
    }
    return true;
}

bool pe_protect(const pe_headers &h, const pe_mapped &m, std::string *why) {
    // Headers and any gaps between sections are read-only.
    bool ok = mprotect(m.base, m.size, PROT_READ) == 0;
    for (const pe_section_header &s : h.sections) {
        uint32_t span = pe_align_up(pe_section_span(s), pe_page);
        if (ok && span) ok = mprotect(m.base + s.virtual_address, span, pe_section_prot(s)) == 0;
    }
    if (!ok) *why = pe_msg("cannot set the protection of the image: %s", strerror(errno));
    return ok;
}

void pe_notify(const sim_pe_image &image, DWORD reason) {
    for (uint32_t rva : image.tls_callback_rvas) {
        pe_tls_fn callback = reinterpret_cast<pe_tls_fn>(image.base + rva);
        callback(image.base, reason, nullptr);
    }
}

// Calls the entry point; reason attach reports what it returned.
bool pe_call_entry(const sim_pe_image &image, DWORD reason) {
    if (image.entry_rva == 0) return true;
    pe_entry_fn entry = reinterpret_cast<pe_entry_fn>(image.base + image.entry_rva);
    return entry(image.base, reason, nullptr) != FALSE;
}

bool pe_load(const char *path, sim_pe_image *out, std::string *why, bool force_relocate) {
    pe_file f;
    pe_headers h;
    if (!pe_read_file(path, &f, why) || !pe_check_headers(f, &h, why)) return false;
    if (sizeof(void *) != 4) {
        *why = "a 32-bit image can only run in a 32-bit x86 process";
        return false;
    }

    uint32_t size = pe_align_up(h.opt.size_of_image, pe_page);
    pe_mapped m = {pe_map(h.opt.image_base, size, force_relocate, why), size};
    if (!m.base) return false;
    out->base = m.base;
    out->size = size;
    out->preferred_base = h.opt.image_base;
    out->relocated = m.address(0) != h.opt.image_base;
    out->entry_rva = h.opt.address_of_entry_point;
    out->export_rva = h.has_dir(PE_DIR_EXPORT) ? h.dir(PE_DIR_EXPORT).virtual_address : 0;
    out->export_size = h.has_dir(PE_DIR_EXPORT) ? h.dir(PE_DIR_EXPORT).size : 0;
    out->path = path;

    // Everything is checked and in place before the first instruction runs.
    pe_copy(f, h, m.base);
    if ((out->relocated && !pe_relocate(h, &m, why)) ||
        !pe_bind_imports(h, &m, &out->imports, why) || !pe_check_exports(h, m, why) ||
        !pe_prepare_tls(h, &m, &out->tls_callback_rvas, why) || !pe_protect(h, m, why)) {
        return false;
    }
    pe_notify(*out, PE_DLL_PROCESS_ATTACH);
    if (!pe_call_entry(*out, PE_DLL_PROCESS_ATTACH)) {
        // As on Windows, an image that refuses to attach is told to detach.
        pe_notify(*out, PE_DLL_PROCESS_DETACH);
        pe_call_entry(*out, PE_DLL_PROCESS_DETACH);
        *why = pe_msg("the entry point at RVA 0x%X returned FALSE for DLL_PROCESS_ATTACH",
                      h.opt.address_of_entry_point);
        return false;
    }
    return true;
}

}  // namespace

bool sim_pe_load(const char *path, sim_pe_image *out, std::string *error, bool force_relocate) {
    sim_pe_image image;
    std::string why;
    bool ok = pe_load(path, &image, &why, force_relocate);
    if (!ok) {
        // Nothing of the image runs any more: unmap it without notifying it.
        if (image.base) munmap(image.base, image.size);
        image = sim_pe_image();
        if (error) *error = std::string(path) + ": " + why;
    }
    *out = std::move(image);
    return ok;
}

void *sim_pe_export(const sim_pe_image &image, const char *name, std::string *error) {
    std::string why;
    void *found = nullptr;
    pe_mapped m = {image.base, image.size};
    pe_exports e;
    if (!image.base || image.export_rva == 0 ||
        !pe_read_exports(m, image.export_rva, image.export_size, &e)) {
        why = "the image has no exports";
    } else {
        why = pe_msg("no export named %s", name);
        // The tables were checked at load time.
        for (uint32_t i = 0; i < e.dir.number_of_names; i++) {
            uint32_t name_rva = 0, function = 0;
            uint16_t index = 0;
            std::string text;
            m.read(e.dir.address_of_names + 4 * i, &name_rva);
            if (!m.text(name_rva, &text) || text != name) continue;
            m.read(e.dir.address_of_name_ordinals + 2 * i, &index);
            m.read(e.dir.address_of_functions + 4 * index, &function);
            if (function - e.rva < e.size) {
                std::string target;
                m.text(function, &target);
                why = pe_msg("export %s is forwarded to %s, which this loader does not follow",
                             name, target.c_str());
            } else {
                found = image.base + function;
            }
            break;
        }
    }
    if (!found && error) *error = image.path + ": " + why;
    return found;
}

std::vector<std::string> sim_pe_export_names(const sim_pe_image &image) {
    std::vector<std::string> names;
    pe_mapped m = {image.base, image.size};
    pe_exports e;
    if (!image.base || image.export_rva == 0 ||
        !pe_read_exports(m, image.export_rva, image.export_size, &e)) {
        return names;
    }
    for (uint32_t i = 0; i < e.dir.number_of_names; i++) {
        uint32_t name_rva = 0;
        std::string text;
        if (m.read(e.dir.address_of_names + 4 * i, &name_rva) && m.text(name_rva, &text)) {
            names.push_back(text);
        }
    }
    return names;
}

void sim_pe_unload(sim_pe_image *image) {
    if (!image->base) return;
    pe_notify(*image, PE_DLL_PROCESS_DETACH);
    pe_call_entry(*image, PE_DLL_PROCESS_DETACH);
    munmap(image->base, image->size);
    *image = sim_pe_image();
}
