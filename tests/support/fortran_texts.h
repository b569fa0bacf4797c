// Fortran texts that several tests read: the scan's table of cases and the module idiom sets
// that the real compiler builds in their worst order.
#pragma once

#include <ostream>
#include <string>
#include <vector>

// A text and what the scan reads in it, as the scan reads it.
struct scan_case {
  const char* name;
  std::string text;
  bool fixed_form;
  bool preprocessed;
  std::vector<std::string> defines;
  std::vector<std::string> uses;
  bool opaque;
};

std::vector<scan_case> fortran_scan_cases();

// Idioms of real libraries: sources and included files, the arguments that compile them in
// their worst order (every user before the sources it needs), and the objects that result.
struct source_file {
  std::string name;
  std::string text;
};

struct idiom_set {
  std::string name;
  std::vector<source_file> files;  // sources and included files, directories made as needed
  std::vector<std::string> args;   // after -c: flags, then the sources in their worst order
  std::vector<std::string> objects;
};

std::vector<idiom_set> module_idiom_sets();

// A failure names the set, not its bytes.
void PrintTo(const idiom_set& set, std::ostream* out);
