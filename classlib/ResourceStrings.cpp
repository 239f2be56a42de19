#include "ResourceStrings.h"

HINSTANCE ResourceInstanceOf(HMODULE module) { return module; }
