// The command-line walk. File rules come before option rules, so an option whose text ends in
// a recognised suffix is taken as a file; an argument file is read only where every rule
// refused the argument, so "@x.c" stays a C source.
#include "driver/command_line.h"

#include <cstdio>
#include <string>
#include <vector>

#include "build_constants.h"
#include "config/variable_table.h"
#include "driver/help_text.h"
#include "platform/interpreter.h"
#include "run/messages.h"
#include "text/argument_files.h"
#include "text/text_rules.h"

namespace {

// Stripping is disabled on this platform (a configure-time switch).
bool no_strip() { return is_true(build_constants::no_strip_text); }

enum class file_kind { c_source, cxx_source, fortran_source, object, library };

struct file_suffix {
  const char* suffix;
  file_kind kind;
};

// Tried in this order. "f90" has no dot on purpose: mainf90 is a Fortran source.
const file_suffix file_suffixes[] = {
    {".c", file_kind::c_source},         {".cc", file_kind::cxx_source},
    {".cp", file_kind::cxx_source},      {".cpp", file_kind::cxx_source},
    {".CPP", file_kind::cxx_source},     {".cxx", file_kind::cxx_source},
    {".c++", file_kind::cxx_source},     {".C", file_kind::cxx_source},
    {".f", file_kind::fortran_source},   {".F", file_kind::fortran_source},
    {"f90", file_kind::fortran_source},  {".F90", file_kind::fortran_source},
    {".o", file_kind::object},           {".obj", file_kind::object},
    {".lib", file_kind::library},        {".a", file_kind::library},
};

enum class option_kind {
  verbose, help, include_dir, idirafter, define, array_dims, stand_alone, linker, depend, output,
  dry_run, print, strip, compile_only, debug_flags, mex, pass_on
};

struct option_form {
  const char* text;
  bool is_prefix;
  option_kind kind;
};

// Tried in this order after the file rules; the first form that matches decides.
const option_form option_forms[] = {
    {"-d", false, option_kind::verbose},
    {"-debug", false, option_kind::verbose},
    {"--debug", false, option_kind::verbose},
    {"-v", false, option_kind::verbose},
    {"-verbose", false, option_kind::verbose},
    {"--verbose", false, option_kind::verbose},
    {"-h", false, option_kind::help},
    {"-?", false, option_kind::help},
    {"-help", false, option_kind::help},
    {"--help", false, option_kind::help},
    {"-I", true, option_kind::include_dir},
    {"-idirafter", false, option_kind::idirafter},
    {"-D", true, option_kind::define},
    {"-largeArrayDims", false, option_kind::array_dims},
    {"-compatibleArrayDims", false, option_kind::array_dims},
    // Listed before the "-l" prefix so that the linker rule does not take it.
    {"-link-stand-alone", false, option_kind::stand_alone},
    {"-Wl,", true, option_kind::linker},
    {"-l", true, option_kind::linker},
    {"-L", true, option_kind::linker},
    {"-R", true, option_kind::linker},
    {"-M", false, option_kind::depend},
    {"-depend", false, option_kind::depend},
    {"--depend", false, option_kind::depend},
    {"-o", false, option_kind::output},
    {"-output", false, option_kind::output},
    {"--output", false, option_kind::output},
    {"-n", false, option_kind::dry_run},
    {"--dry-run", false, option_kind::dry_run},
    {"--just-print", false, option_kind::dry_run},
    {"-p", false, option_kind::print},
    {"-print", false, option_kind::print},
    {"--print", false, option_kind::print},
    {"-s", false, option_kind::strip},
    {"-strip", false, option_kind::strip},
    {"--strip", false, option_kind::strip},
    {"-c", false, option_kind::compile_only},
    {"-compile", false, option_kind::compile_only},
    {"--compile", false, option_kind::compile_only},
    {"-g", false, option_kind::debug_flags},
    {"--link-stand-alone", false, option_kind::stand_alone},
    {"-mex", false, option_kind::mex},
    {"--mex", false, option_kind::mex},
    {"-W", true, option_kind::pass_on},
    {"-", true, option_kind::pass_on},
};

// Every file or directory name that a command will carry passes through here, so that a name
// the interpreter cannot carry ends the run before any command starts.
void note_file_name(const std::string& name, run_state& run) {
  if (run.unpassable_name.empty() && !interpreter_can_pass_name(name))
    run.unpassable_name = name;
}

bool sort_file_argument(const std::string& arg, run_state& run) {
  for (const file_suffix& rule : file_suffixes) {
    if (!ends_with(arg, rule.suffix)) continue;
    note_file_name(arg, run);
    switch (rule.kind) {
      case file_kind::c_source: run.c_files.push_back(arg); break;
      case file_kind::cxx_source: run.cxx_files.push_back(arg); break;
      case file_kind::fortran_source: run.fortran_files.push_back(arg); break;
      case file_kind::object: run.obj_files += " " + quote_file_for_interpreter(arg); break;
      case file_kind::library: run.lib_files += " " + quote_file_for_interpreter(arg); break;
    }
    if (run.target_file.empty()) run.target_file = arg;
    return true;
  }
  return false;
}

const option_form* match_option(const std::string& arg) {
  for (const option_form& form : option_forms) {
    if (form.is_prefix ? starts_with(arg, form.text) : arg == form.text) return &form;
  }
  return nullptr;
}

// The whole content of a file, or false when it cannot be opened or read to its end (a
// directory, for one).
bool read_whole_file(const std::string& name, std::string& text) {
  std::FILE* file = std::fopen(name.c_str(), "rb");
  if (file == nullptr) return false;
  char buffer[65536];
  std::size_t count;
  while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, count);
  const bool complete = std::ferror(file) == 0;
  std::fclose(file);
  return complete;
}

// A file that names itself, directly or through others, would be read without end: a run
// reads this many argument files at most.
const int most_argument_files = 1000;

// Inserts the arguments that the file holds after position at of args, where the walk meets
// them next. False, with the message printed, when the file cannot be read or too many
// have been.
bool insert_argument_file(const std::string& name, std::vector<std::string>& args,
                          std::size_t at, int& files_read) {
  if (++files_read > most_argument_files) {
    print_error("more than " + std::to_string(most_argument_files) +
                " argument files, stopped at " + name);
    return false;
  }
  std::string text;
  if (!read_whole_file(name, text)) {
    print_error("unable to read arguments from " + name);
    return false;
  }
  const std::vector<std::string> words = argument_file_words(text);
  args.insert(args.begin() + at + 1, words.begin(), words.end());
  return true;
}

// The debug options ask an MSVC wrapper for its own debug output.
void add_debug_to_msvc_wrappers() {
  for (const char* name : {"CC", "CXX", "DL_LD"}) {
    std::string& value = table_value(name);
    if (value == "cc-msvc") value += " -d";
  }
}

}  // namespace

int walk_command_line(int argc, const char* const* argv, run_state& run, bool& run_ended) {
  run_ended = false;
  // The arguments of an argument file are inserted right after its name, so the walk meets
  // them where the file was named.
  std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + (argc > 0 ? argc : 0));
  int argument_files = 0;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string arg = args[i];
    if (sort_file_argument(arg, run)) continue;
    const bool has_operand = i + 1 < args.size();
    const option_form* form = match_option(arg);
    if (form == nullptr && names_argument_file(arg)) {
      if (insert_argument_file(arg.substr(1), args, i, argument_files)) continue;
      run_ended = true;
      return 1;
    }
    if (form == nullptr) {
      print_error("unrecognized argument " + arg);
      run_ended = true;
      return 1;
    }
    switch (form->kind) {
      case option_kind::verbose:
        verbose = true;
        add_debug_to_msvc_wrappers();
        break;
      case option_kind::help:
        print_out_line(usage_line);
        print_out_line(help_text);
        run_ended = true;
        return 0;
      case option_kind::include_dir:
        run.include_flags += " " + quote_if_blank(arg);
        break;
      case option_kind::idirafter:
        if (has_operand) {
          note_file_name(args[++i], run);
          run.include_flags += " -idirafter " + quote_name_for_interpreter(args[i]);
        } else {
          print_error("include directory name missing");
        }
        break;
      case option_kind::define:
        run.define_flags += " " + arg;
        break;
      case option_kind::array_dims:
        print_out_line(
            "warning: -largeArrayDims and -compatibleArrayDims are accepted for compatibility, "
            "but ignored");
        break;
      case option_kind::linker:
        run.linker_flags += " " + arg;
        break;
      case option_kind::depend:
        run.depend = true;
        break;
      case option_kind::output:
        if (has_operand) {
          run.output_file = args[++i];
          note_file_name(run.output_file, run);
        } else {
          print_error("output filename missing");
        }
        break;
      case option_kind::dry_run:
        run.dry_run = true;
        break;
      case option_kind::print:
        if (has_operand) {
          print_out_line(table_value(args[i + 1]));
          run_ended = true;
          return 0;
        }
        print_error("--print requires argument");
        break;
      case option_kind::strip:
        if (no_strip()) {
          print_error("stripping disabled on this platform");
        } else {
          run.strip = true;
        }
        break;
      case option_kind::compile_only:
        run.link = false;
        break;
      case option_kind::debug_flags:
        for (const char* name : {"ALL_CFLAGS", "ALL_CXXFLAGS", "ALL_FFLAGS"}) {
          table_value(name) += " -g";
        }
        break;
      case option_kind::stand_alone:
        run.link_stand_alone = true;
        break;
      case option_kind::mex:
        run.include_flags += " -I.";
        run.target_ext = ".mex";
        break;
      case option_kind::pass_on:
        run.pass_on_flags += " " + arg;
        break;
    }
  }
  return 0;
}
