// The 32-bit C++ unwinder finds the handler of a frame in the unwind tables that the frame's image
// registered with it at start-up. The start-up code that the compiler links into each image
// registers them with the shared run time's unwinder (libgcc_s_dw2-1.dll) whenever another module
// has already brought that library into the process, instead of with the unwinder linked into the
// image. Ours then knows none of our frames and every throw ends in std::terminate: in the shell,
// explorer ends beside any extension built with MinGW's shared run time. Right after that
// registration, this file asks our own unwinder for a frame of this image; when it knows none, the
// image's whole table section is registered with it, and taken back when the image goes. The
// 64-bit images unwind through the system's tables (.pdata) and do not build this file.
#include <windows.h>

#include <cstdlib>

extern "C" {
// The linked-in unwinder's entries (libgcc's unwind-dw2-fde), declared by no installed header.
struct DwarfBases {
    void* text;
    void* data;
    void* function;
};
const void* _Unwind_Find_FDE(void* pc, DwarfBases* bases);
void __register_frame(void* begin);
void __deregister_frame(void* begin);

extern IMAGE_DOS_HEADER __ImageBase;
}

// A label of no size in this object's part of the image's unwind table section (flags as the
// assembler gives its own .eh_frame): the section that holds it is the table section, whatever
// name the image's header gives it (stripped images cut it to eight characters).
asm(".section .eh_frame,\"dr\"\n"
    "unwindTableMark:\n"
    ".text");
extern "C" const char unwindTableMark[] asm("unwindTableMark");

namespace {

void* registeredTables = nullptr;

// The start of the image section that holds the address; null when none does.
void* SectionHolding(const void* address)
{
    auto* base = reinterpret_cast<BYTE*>(&__ImageBase);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + __ImageBase.e_lfanew);
    const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
    const auto rva = static_cast<DWORD>(static_cast<const BYTE*>(address) - base);
    for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section)
        if (rva >= section->VirtualAddress && rva - section->VirtualAddress < section->Misc.VirtualSize)
            return base + section->VirtualAddress;
    return nullptr;
}

void ForgetUnwindTables()
{
    __deregister_frame(registeredTables);
}

// Runs after the start-up code's registration (whose constructor has the reserved priority 0),
// after the stack guard's seeding (101) and before the constructors of the libraries, whose
// priorities are all later.
__attribute__((constructor(102))) void RegisterUnwindTablesWhereMissing()
{
    // Only with that library in the process can the start-up code have passed our tables by.
    // Without it the search is skipped: its first call sorts all of the image's tables, a cost
    // that an image otherwise pays only at its first throw.
    if (!GetModuleHandleA("libgcc_s_dw2-1.dll")) return;
    DwarfBases bases;
    if (_Unwind_Find_FDE(reinterpret_cast<void*>(&RegisterUnwindTablesWhereMissing), &bases)) return;
    registeredTables = SectionHolding(unwindTableMark);
    if (!registeredTables) return;
    __register_frame(registeredTables);
    std::atexit(&ForgetUnwindTables);
}

}  // namespace
