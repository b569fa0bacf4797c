// Enumeration of the modules loaded in the current process, one implementation per platform.
#pragma once

#include <string>
#include <vector>

// One module (executable or shared library) loaded in the current process.
struct module_entry {
  std::string base_name;  // file name without directory
  std::string full_path;  // full path of the module's file
};

// The loaded modules in the platform's enumeration order; empty when they cannot be listed.
std::vector<module_entry> list_loaded_modules();
