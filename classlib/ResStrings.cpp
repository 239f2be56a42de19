#include "ResStrings.h"

HINSTANCE FindResourceHInstance(HMODULE module) { return module; }
