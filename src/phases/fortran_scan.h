// What a Fortran source defines and needs through module files, read from its text: the facts
// that decide which Fortran compile must end before another may start.
#pragma once

#include <functional>
#include <string>
#include <vector>

// A file the text includes: a Fortran `include 'name'` line, or an `#include` in text that the
// preprocessor has not read yet.
struct fortran_include {
  std::string name;
  bool directive = false;  // #include: the file is preprocessor input, searched first beside
                           // the file that names it when the name is in double quotes
  bool quoted = false;
};

struct fortran_scan {
  // Lower case. A module is its name; a submodule is "ancestor:name", the form its descendants
  // name it by.
  std::vector<std::string> defines;
  // Modules and parent submodules the source needs, its own definitions and `use, intrinsic`
  // left out; lower case, each once.
  std::vector<std::string> uses;
  // The text alone does not tell what the source defines or uses: preprocessor conditionals or
  // macros in text the preprocessor has not read, an included file that cannot be found, a
  // source that cannot be read or preprocessed.
  bool opaque = false;
  // Files still to follow (see follow_includes), in the order the text names them.
  std::vector<fortran_include> includes;
};

// How the compiler reads a source, from its name and the words of its compile command.
struct fortran_reading {
  bool fixed_form = false;
  bool preprocessed = false;
  // Where included files are looked for: the source's own directory ("" for the current one),
  // then those of -I and -idirafter in the command's order.
  std::vector<std::string> include_directories;
  // Where module files are written (-J), "" for the current directory.
  std::string module_directory;
};

// The files that stand for a module or submodule name of a scan: "m" is m.mod, and m.smod where
// the module has submodules; "a:b" is a@b.smod.
std::vector<std::string> module_file_names(const std::string& name);

// Where the compiler looks for the module files a source uses, in its order: the current
// directory (""), the reading's include directories, then the module directory.
std::vector<std::string> module_search_directories(const fortran_reading& reading);

// The name of a file in a directory ("" the current one), as the compiler writes it.
std::string path_in_directory(const std::string& directory, const std::string& name);

// The directory part of a file name, "" for a name without one.
std::string directory_part(const std::string& name);

// ".f" and ".F" sources are fixed form; "f90" and ".F90" ones free form.
bool is_fixed_form_fortran(const std::string& source);
// ".F" and ".F90" sources go through the preprocessor.
bool is_preprocessed_fortran(const std::string& source);
// A fixed-form line that holds no statement text: blank, a comment marker in the first column,
// or a '!' first that is not the continuation mark of the sixth.
bool is_fixed_form_comment_line(const std::string& line);
// A free-form line that is blank or a comment alone; between the lines of a continued character
// string it may still be part of the string.
bool is_free_form_comment_line(const std::string& line);
// The name's rules, overridden by the last of -cpp and -nocpp and the last of -ffixed-form and
// -ffree-form among the words; -Idir, -I dir and -idirafter dir give include directories, the
// last -Jdir or -J dir the module directory.
fortran_reading read_fortran_command(const std::string& source,
                                     const std::vector<std::string>& words);

// Scans one source's text: comments and string contents are skipped, continuation lines joined,
// keywords matched in any case. With preprocessed set the text is the preprocessor's input:
// conditionals and macro definitions make the scan opaque and `#include` is recorded. Without
// it, preprocessor lines (the line markers of preprocessed text among them) are ignored.
fortran_scan scan_fortran_text(const std::string& text, bool fixed_form, bool preprocessed);

// Reads a file whole; false when it cannot be read.
using fortran_file_reader = std::function<bool(const std::string& path, std::string& text)>;

// Adds to the scan what the files it includes define and use, and what theirs include in turn,
// each file read once. A name is looked for in the reading's include directories (a quoted
// `#include` first beside the file that names it); an absolute name as it stands. The files of
// include lines are read as they stand, in the source's form, as the compiler reads them; those
// of `#include` as preprocessor input. A file that cannot be found makes the scan opaque.
void follow_includes(fortran_scan& scan, const std::string& source, const fortran_reading& reading,
                     const fortran_file_reader& read);
