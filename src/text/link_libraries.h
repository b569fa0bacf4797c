// What a link command asks of the linker's library search. Pure rules; the phases look for the
// files.
#pragma once

#include <string>
#include <vector>

// The -L directories of a link command's words, in order ("-LDIR" or "-L DIR"), and for each
// -l request ("-lNAME", "-l NAME", "-l:FILE") the file names it may be found under in one
// directory: "-l:FILE" exactly FILE; "-lNAME" those the GNU linker tries for ELF (libNAME.so,
// libNAME.a) and for Windows (libNAME.dll.a, NAME.dll.a, libNAME.a, NAME.lib, libNAME.dll,
// NAME.dll).
struct library_search {
  std::vector<std::string> directories;
  std::vector<std::vector<std::string>> requests;
};

library_search link_library_search(const std::vector<std::string>& words);
