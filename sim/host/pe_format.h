// The parts of the 32-bit PE file format (PE32) that the loader reads. Every
// record is read from the file or the image with memcpy after a bounds check,
// so these structs only describe the layout; their offsets are fixed by the
// format and checked below.
#pragma once

#include <stddef.h>
#include <stdint.h>

#define PE_DOS_MAGIC 0x5A4Du            // "MZ"
#define PE_NT_SIGNATURE 0x00004550u     // "PE\0\0"
#define PE_MACHINE_I386 0x014Cu         // Intel 386 and successors
#define PE_OPTIONAL_MAGIC_PE32 0x010Bu  // 32-bit optional header
#define PE_OPTIONAL_MAGIC_PE32_PLUS 0x020Bu

// File header characteristics.
#define PE_FILE_RELOCS_STRIPPED 0x0001u   // cannot be moved from its base
#define PE_FILE_EXECUTABLE_IMAGE 0x0002u  // a linked image, not an object
#define PE_FILE_DLL 0x2000u

// Section characteristics.
#define PE_SCN_MEM_EXECUTE 0x20000000u
#define PE_SCN_MEM_READ 0x40000000u
#define PE_SCN_MEM_WRITE 0x80000000u

// Data directory slots.
#define PE_DIR_EXPORT 0
#define PE_DIR_IMPORT 1
#define PE_DIR_SECURITY 4  // a file offset, not an RVA
#define PE_DIR_BASERELOC 5
#define PE_DIR_TLS 9
#define PE_DIR_SLOTS 16

// Base relocation types (high 4 bits of each 16-bit entry).
#define PE_REL_BASED_ABSOLUTE 0  // padding that keeps blocks 32-bit aligned
#define PE_REL_BASED_HIGHLOW 3   // add the delta to the 32-bit word

// An import lookup entry with this bit set imports by ordinal.
#define PE_IMPORT_BY_ORDINAL 0x80000000u

// Reasons passed to the entry point and the TLS callbacks.
#define PE_DLL_PROCESS_DETACH 0u
#define PE_DLL_PROCESS_ATTACH 1u

// Section names are 8 bytes, NUL-padded, not always terminated.
#define PE_SECTION_NAME_SIZE 8

struct pe_dos_header {
    uint16_t e_magic;       // PE_DOS_MAGIC
    uint16_t e_unused[29];  // the DOS program's header, of no interest here
    uint32_t e_lfanew;      // file offset of the PE signature
};

struct pe_file_header {
    uint16_t machine;             // PE_MACHINE_I386
    uint16_t number_of_sections;  // entries of the section table
    uint32_t time_date_stamp;
    uint32_t pointer_to_symbol_table;  // COFF symbols; never loaded
    uint32_t number_of_symbols;
    uint16_t size_of_optional_header;  // the section table follows it
    uint16_t characteristics;          // PE_FILE_*
};

struct pe_data_directory {
    uint32_t virtual_address;  // RVA of the table, 0 when absent
    uint32_t size;             // its size in bytes
};

struct pe_optional_header32 {
    uint16_t magic;  // PE_OPTIONAL_MAGIC_PE32
    uint8_t major_linker_version;
    uint8_t minor_linker_version;
    uint32_t size_of_code;
    uint32_t size_of_initialized_data;
    uint32_t size_of_uninitialized_data;
    uint32_t address_of_entry_point;  // RVA, 0 when the image has no entry
    uint32_t base_of_code;
    uint32_t base_of_data;
    uint32_t image_base;         // preferred load address
    uint32_t section_alignment;  // sections start at multiples of this in memory
    uint32_t file_alignment;
    uint16_t major_os_version;
    uint16_t minor_os_version;
    uint16_t major_image_version;
    uint16_t minor_image_version;
    uint16_t major_subsystem_version;
    uint16_t minor_subsystem_version;
    uint32_t win32_version_value;
    uint32_t size_of_image;    // bytes of memory the mapped image spans
    uint32_t size_of_headers;  // bytes of headers copied to the start of the image
    uint32_t checksum;
    uint16_t subsystem;
    uint16_t dll_characteristics;
    uint32_t size_of_stack_reserve;
    uint32_t size_of_stack_commit;
    uint32_t size_of_heap_reserve;
    uint32_t size_of_heap_commit;
    uint32_t loader_flags;
    uint32_t number_of_rva_and_sizes;  // how many data directory slots follow
    pe_data_directory data_directory[PE_DIR_SLOTS];
};

struct pe_section_header {
    char name[PE_SECTION_NAME_SIZE];
    uint32_t virtual_size;         // bytes in memory; 0 means size_of_raw_data
    uint32_t virtual_address;      // RVA of the section
    uint32_t size_of_raw_data;     // bytes in the file (0 for uninitialised data)
    uint32_t pointer_to_raw_data;  // file offset of those bytes
    uint32_t pointer_to_relocations;
    uint32_t pointer_to_linenumbers;
    uint16_t number_of_relocations;
    uint16_t number_of_linenumbers;
    uint32_t characteristics;  // PE_SCN_*
};

struct pe_export_directory {
    uint32_t characteristics;
    uint32_t time_date_stamp;
    uint16_t major_version;
    uint16_t minor_version;
    uint32_t name;                      // RVA of the DLL's own name
    uint32_t base;                      // ordinal of the first function
    uint32_t number_of_functions;       // entries of address_of_functions
    uint32_t number_of_names;           // entries of the two name arrays
    uint32_t address_of_functions;      // RVA of u32 RVAs, by ordinal - base
    uint32_t address_of_names;          // RVA of u32 name RVAs, sorted
    uint32_t address_of_name_ordinals;  // RVA of u16 indexes into the functions
};

struct pe_import_descriptor {
    uint32_t original_first_thunk;  // RVA of the lookup table (0: use first_thunk)
    uint32_t time_date_stamp;
    uint32_t forwarder_chain;
    uint32_t name;         // RVA of the DLL name; 0 ends the list
    uint32_t first_thunk;  // RVA of the address table the code calls through
};

struct pe_base_relocation {
    uint32_t virtual_address;  // RVA of the 4 KiB page the entries patch
    uint32_t size_of_block;    // bytes of this header and its 16-bit entries
};

struct pe_tls_directory32 {
    uint32_t start_address_of_raw_data;  // VA of the TLS data template
    uint32_t end_address_of_raw_data;
    uint32_t address_of_index;      // VA of the u32 that receives the TLS slot
    uint32_t address_of_callbacks;  // VA of a null-terminated array of VAs
    uint32_t size_of_zero_fill;
    uint32_t characteristics;
};

// The format fixes these; a wrong one would misread every file.
static_assert(sizeof(pe_dos_header) == 64, "IMAGE_DOS_HEADER layout");
static_assert(offsetof(pe_dos_header, e_lfanew) == 0x3C, "IMAGE_DOS_HEADER layout");
static_assert(sizeof(pe_file_header) == 20, "IMAGE_FILE_HEADER layout");
static_assert(offsetof(pe_file_header, size_of_optional_header) == 16, "IMAGE_FILE_HEADER layout");
static_assert(sizeof(pe_data_directory) == 8, "IMAGE_DATA_DIRECTORY layout");
static_assert(offsetof(pe_optional_header32, address_of_entry_point) == 16,
              "IMAGE_OPTIONAL_HEADER32 layout");
static_assert(offsetof(pe_optional_header32, image_base) == 28, "IMAGE_OPTIONAL_HEADER32 layout");
static_assert(offsetof(pe_optional_header32, size_of_image) == 56,
              "IMAGE_OPTIONAL_HEADER32 layout");
static_assert(offsetof(pe_optional_header32, number_of_rva_and_sizes) == 92,
              "IMAGE_OPTIONAL_HEADER32 layout");
static_assert(offsetof(pe_optional_header32, data_directory) == 96,
              "IMAGE_OPTIONAL_HEADER32 layout");
static_assert(sizeof(pe_optional_header32) == 224, "IMAGE_OPTIONAL_HEADER32 layout");
static_assert(sizeof(pe_section_header) == 40, "IMAGE_SECTION_HEADER layout");
static_assert(offsetof(pe_section_header, characteristics) == 36, "IMAGE_SECTION_HEADER layout");
static_assert(sizeof(pe_export_directory) == 40, "IMAGE_EXPORT_DIRECTORY layout");
static_assert(offsetof(pe_export_directory, address_of_functions) == 28,
              "IMAGE_EXPORT_DIRECTORY layout");
static_assert(sizeof(pe_import_descriptor) == 20, "IMAGE_IMPORT_DESCRIPTOR layout");
static_assert(sizeof(pe_base_relocation) == 8, "IMAGE_BASE_RELOCATION layout");
static_assert(sizeof(pe_tls_directory32) == 24, "IMAGE_TLS_DIRECTORY32 layout");

// In a file the signature sits at e_lfanew, followed by the file header, the
// optional header and the section table.
#define PE_SIGNATURE_SIZE 4u
// The optional header up to and including number_of_rva_and_sizes.
#define PE_OPTIONAL_FIXED_SIZE offsetof(pe_optional_header32, data_directory)
