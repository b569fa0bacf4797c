// What a Fortran source defines and needs through module files, read from its text: the facts
// that decide which Fortran compile must end before another may start.
#pragma once

#include <string>
#include <vector>

struct fortran_scan {
  // Lower case. A module is its name; a submodule is "ancestor:name", the form its descendants
  // name it by.
  std::vector<std::string> defines;
  // Modules and parent submodules the source needs, its own definitions and `use, intrinsic`
  // left out; lower case, each once.
  std::vector<std::string> uses;
  // The text alone does not tell what the source defines or uses: it includes other files or,
  // when preprocessed, holds conditionals.
  bool opaque = false;
};

// ".f" and ".F" sources are fixed form; "f90" and ".F90" ones free form.
bool is_fixed_form_fortran(const std::string& source);
// ".F" and ".F90" sources go through the preprocessor.
bool is_preprocessed_fortran(const std::string& source);

// Scans one source's text: comments and string contents are skipped, continuation lines joined,
// keywords matched in any case.
fortran_scan scan_fortran_text(const std::string& text, bool fixed_form, bool preprocessed);
