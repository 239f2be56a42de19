#pragma once
// Replaces the address that a loaded module calls for one import: the benchmark stops the clock
// of a search at the band's call of the shell, without starting a browser, by putting its own
// function into the band library's import table.
#include <windows.h>

namespace bench {

// The import's previous address, or null when the module does not import it by name.
void* PatchImport(HMODULE module, const char* dllName, const char* function, void* replacement);

}  // namespace bench
