// Fuzzes the command-line walk and the steps after it on an argument vector and environment
// decoded from the input, then composes every command the run would start, without starting
// any. Input: one byte giving the number of environment entries (modulo 16), then NUL-separated
// fields: that many NAME=value entries, then the arguments.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "build_constants.h"
#include "config/install_root.h"
#include "config/variable_table.h"
#include "driver/run_sequence.h"
#include "phases/compile.h"
#include "phases/depend.h"
#include "phases/link.h"
#include "run/run_state.h"
#include "text/long_commands.h"
#include "text/name_quoting.h"
#include "text/text_rules.h"

namespace {

std::vector<std::pair<std::string, std::string>> fuzz_environment;

const char* fuzz_lookup(const char* name) {
  for (const auto& entry : fuzz_environment) {
    if (entry.first == name)
      return entry.second.c_str();
  }
  return nullptr;
}

std::vector<std::string> split_fields(const std::string& text) {
  std::vector<std::string> fields;
  std::string::size_type start = 0;
  for (;;) {
    const std::string::size_type end = text.find('\0', start);
    fields.push_back(text.substr(start, end - start));
    if (end == std::string::npos)
      return fields;
    start = end + 1;
  }
}

void fill_table_from_fuzz_environment() {
  const table_constants constants = built_table_constants(
      installation_root(fuzz_lookup("ZORVAN_HOME"), "", build_constants::prefix));
  the_variable_table().clear();
  fill_table_from(the_variable_table(), fuzz_lookup, constants);
}

void require(bool holds) {
  if (!holds)
    std::abort();
}

// Every entry of an accumulated string begins with a blank.
void require_accumulated(const std::string& text) {
  require(text.empty() || text[0] == ' ');
}

// A name that the shell gives back as the name, behind "./" where it would read as an option
// or an argument file; a name quoted by its caller as exactly one word.
void require_one_file_word(const std::string& name, const std::string& quoted) {
  const std::vector<std::string> words = split_posix_words(quoted);
  require(words.size() == 1);
  if (is_pre_quoted_name(name, interpreter_kind::posix_shell))
    return;
  const bool shielded = !name.empty() && (name[0] == '-' || name[0] == '@');
  require(words[0] == (shielded ? "./" + name : name));
}

void compose_compiles(source_language language, const std::vector<std::string>& sources,
                      const run_state& run) {
  for (const std::string& source : sources) {
    const std::string object = object_name(source, run);
    const std::string command =
        compose_compile_command(language, source, object, run, the_variable_table());
    // Every language ends with the source and object names as the shell gives them back.
    const std::string quoted_source = quote_file_operand(source, interpreter_kind::posix_shell);
    const std::string quoted_object = quote_file_operand(object, interpreter_kind::posix_shell);
    require_one_file_word(source, quoted_source);
    require_one_file_word(object, quoted_object);
    require(ends_with(command, " " + quoted_source + " -o " + quoted_object));
    if (language != source_language::fortran) {
      const std::string depend = compose_depend_command(language == source_language::cxx, source,
                                                        run, the_variable_table());
      require(ends_with(depend, " " + quoted_source));
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The walk prints usage, help, values and messages; the fuzzer's own reports keep the
  // descriptors, which these streams no longer use.
  stdout = std::fopen("/dev/null", "w");
  stderr = std::fopen("/dev/null", "w");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0)
    return 0;
  const std::size_t environment_count = data[0] % 16;
  const std::vector<std::string> fields =
      split_fields(std::string(reinterpret_cast<const char*>(data) + 1, size - 1));

  fuzz_environment.clear();
  std::vector<std::string> args = {"zrvbuild"};
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i < environment_count) {
      const std::string::size_type equals = fields[i].find('=');
      fuzz_environment.emplace_back(
          fields[i].substr(0, equals),
          equals == std::string::npos ? "" : fields[i].substr(equals + 1));
    } else if (fields[i].empty() || fields[i][0] != '@') {
      // "@FILE" reads the machine's FILE, which may be a device that never ends: the walk's
      // reading of argument files has tests of its own.
      args.push_back(fields[i]);
    }
  }
  fill_table_from_fuzz_environment();

  std::vector<const char*> argv;
  for (const std::string& arg : args)
    argv.push_back(arg.c_str());
  verbose = false;
  run_state run;
  bool run_ended = false;
  prepare_run(static_cast<int>(argv.size()), argv.data(), run, run_ended);
  if (run_ended)
    return 0;

  for (const std::string* text : {&run.obj_files, &run.lib_files, &run.include_flags,
                                  &run.define_flags, &run.linker_flags, &run.pass_on_flags}) {
    require_accumulated(*text);
  }
  require(run.target_ext == ".zrv" || run.target_ext == ".mex");
  if (!run.link_stand_alone)
    require(ends_with(run.target_file, run.target_ext));

  compose_compiles(source_language::fortran, run.fortran_files, run);
  compose_compiles(source_language::c, run.c_files, run);
  compose_compiles(source_language::cxx, run.cxx_files, run);
  const std::string link = run.link_stand_alone
                               ? compose_stand_alone_link_command(run, the_variable_table())
                               : compose_module_link_command(run, the_variable_table());
  require(!link.empty());
  const std::string stripped = strip_target(run, build_constants::default_executable_name,
                                              build_constants::executable_suffix);
  if (!run.link_stand_alone)
    require(stripped == run.target_file);
  return 0;
}
