// Whether the preprocessor can change what the module scan reads in a Fortran source. A source
// it cannot change is scanned as it stands, and no preprocessor command runs for its scan.
#pragma once

#include <string>
#include <vector>

// True when running the source's text through the preprocessor of its compile command (whose
// words are given) may change its scan, so that the scan must read the preprocessor's output:
// - the text has a preprocessor line (a '#' first on a line), a C comment opening "/*", a line
//   ending in a backslash (blanks may follow it) or a carriage return that ends no line;
// - a macro the command defines (-D) is named anywhere in the text, comments included, since
//   a macro with arguments takes them from the lines that follow;
// - a name the preprocessor may define by itself (see could_be_predefined_macro) stands where
//   the scan reads the text: anywhere but in comment lines (where only a name that begins in
//   the first column of fixed form counts) and in comment lines between free-form statements;
// - the command hands the preprocessor something not read here (-Wp, -Xpreprocessor, -include,
//   -imacros, -trigraphs, an @file of arguments, a definition spanning lines).
bool preprocessing_can_change_scan(const std::string& text, bool fixed_form,
                                   const std::vector<std::string>& command_words);

// The names a preprocessor may define without being asked: every name that begins with two
// underscores or with an underscore and a capital letter, and the few system names that C
// preprocessors define on some systems outside those ("unix", "linux", ...).
bool could_be_predefined_macro(const std::string& name);
