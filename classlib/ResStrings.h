#pragma once
// Resource-string records: a message either names an entry of a module's string table or carries
// its text itself.
#include <windows.h>

#include <cstdint>

struct TResStringRec {
    // The variable that holds the module's handle (read when the string is loaded, so a record
    // may be declared before the module is known).
    HMODULE* Module;
    // Below 0x10000: a string-table identifier; otherwise the address of a zero-terminated text.
    uintptr_t Identifier;
};

// The module whose resources stand in for the given module. This system loads no separate
// resource modules, so it is the module itself.
HINSTANCE FindResourceHInstance(HMODULE module);
