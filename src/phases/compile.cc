// The compile phase.
#include "phases/compile.h"

#include "phases/command_text.h"
#include "platform/interpreter.h"
#include "run/messages.h"
#include "run/progress.h"
#include "run/runner.h"
#include "text/text_rules.h"

namespace {

struct language_variables {
  const char* compiler;
  const char* pic_flag;
  const char* flags;
  const char* name_in_messages;
};

language_variables variables_of(source_language language) {
  switch (language) {
    case source_language::fortran: return {"F77", "FPICFLAG", "ALL_FFLAGS", "Fortran"};
    case source_language::c: return {"CC", "CPICFLAG", "ALL_CFLAGS", "C"};
    case source_language::cxx: break;
  }
  return {"CXX", "CXXPICFLAG", "ALL_CXXFLAGS", "C++"};
}

int compile_sources(source_language language, const std::vector<std::string>& sources,
                    run_state& run, variable_table& table) {
  const language_variables names = variables_of(language);
  for (const std::string& source : sources) {
    if (table[names.compiler].empty()) {
      print_error(std::string("no way to compile ") + names.name_in_messages + " file " + source);
      return 1;
    }
    const std::string object = object_name(source, run);
    run.obj_files.append(" ").append(quote_name_for_interpreter(object));
    announce(command_kind::compile, source);
    const int status = run_build_command(
        compose_compile_command(language, source, object, run, table), run.dry_run);
    if (status != 0) return status;
  }
  return 0;
}

}  // namespace

std::string object_name(const std::string& source, const run_state& run) {
  if (!run.output_file.empty() && !run.link) return run.output_file;
  return basename_no_ext(source) + ".o";
}

std::string compose_compile_command(source_language language, const std::string& source,
                                    const std::string& object, const run_state& run,
                                    variable_table& table) {
  const language_variables names = variables_of(language);
  if (language == source_language::fortran) {
    // Fortran takes no preprocessor flags and keeps the order include, define, pass-on.
    return join_pieces(table[names.compiler], " -c ", table[names.pic_flag], " ",
                       table[names.flags], " ", run.include_flags, " ", run.define_flags, " ",
                       run.pass_on_flags, " ", quote_name_for_interpreter(source), " -o ",
                       quote_name_for_interpreter(object));
  }
  return join_pieces(table[names.compiler], " -c ", table["CPPFLAGS"], " ", table[names.pic_flag],
                     " ", table[names.flags], " ", run.pass_on_flags, " ", run.include_flags, " ",
                     run.define_flags, " ", quote_name_for_interpreter(source), " -o ",
                     quote_name_for_interpreter(object));
}

std::string missing_compiler_message(source_language language, const std::string& source,
                                     variable_table& table) {
  const language_variables names = variables_of(language);
  if (!table[names.compiler].empty()) return "";
  return std::string("no way to compile ") + names.name_in_messages + " file " + source;
}

int compile_phase(run_state& run, variable_table& table) {
  int status = compile_sources(source_language::fortran, run.fortran_files, run, table);
  if (status == 0) status = compile_sources(source_language::c, run.c_files, run, table);
  if (status == 0) status = compile_sources(source_language::cxx, run.cxx_files, run, table);
  return status;
}
