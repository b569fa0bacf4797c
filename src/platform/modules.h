// Enumeration of the modules loaded in the current process, one implementation per platform.
#pragma once

#include <vector>

#include "config/install_root.h"

// The loaded modules in the platform's enumeration order; empty when they cannot be listed.
std::vector<module_entry> list_loaded_modules();
