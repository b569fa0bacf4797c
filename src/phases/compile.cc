// The compile phase.
#include "phases/compile.h"

#include "phases/command_text.h"
#include "phases/incremental.h"
#include "phases/module_order_hint.h"
#include "platform/interpreter.h"
#include "run/command_log.h"
#include "run/messages.h"
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

// Adds the compiles of one language's sources; false once a source has no compiler.
bool plan_sources(source_language language, const std::vector<std::string>& sources,
                  const run_state& run, variable_table& table,
                  std::vector<planned_command>& plan) {
  for (const std::string& source : sources) {
    planned_command step;
    step.kind = command_kind::compile;
    step.name = source;
    step.fortran = language == source_language::fortran;
    step.program_variable = variables_of(language).compiler;
    step.refusal = missing_compiler_message(language, source, table);
    if (!step.refusal.empty()) {
      plan.push_back(step);
      return false;
    }
    step.output = object_name(source, run);
    step.object_entry = " " + quote_file_for_interpreter(step.output);
    step.command = compose_compile_command(language, source, step.output, run, table);
    if (step.fortran)
      step.preprocess = compose_fortran_preprocess_command(source, run, table);
    plan.push_back(step);
  }
  return true;
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
                       run.pass_on_flags, " ", quote_file_for_interpreter(source), " -o ",
                       quote_file_for_interpreter(object));
  }
  return join_pieces(table[names.compiler], " -c ", table["CPPFLAGS"], " ", table[names.pic_flag],
                     " ", table[names.flags], " ", run.pass_on_flags, " ", run.include_flags, " ",
                     run.define_flags, " ", quote_file_for_interpreter(source), " -o ",
                     quote_file_for_interpreter(object));
}

std::string compose_fortran_preprocess_command(const std::string& source, const run_state& run,
                                               variable_table& table) {
  const language_variables names = variables_of(source_language::fortran);
  return join_pieces(table[names.compiler], " -E ", table[names.pic_flag], " ",
                     table[names.flags], " ", run.include_flags, " ", run.define_flags, " ",
                     run.pass_on_flags, " ", quote_file_for_interpreter(source));
}

std::string missing_compiler_message(source_language language, const std::string& source,
                                     variable_table& table) {
  const language_variables names = variables_of(language);
  if (!table[names.compiler].empty()) return "";
  return std::string("no way to compile ") + names.name_in_messages + " file " + source;
}

std::vector<planned_command> plan_compiles(const run_state& run, variable_table& table) {
  std::vector<planned_command> plan;
  plan.reserve(run.fortran_files.size() + run.c_files.size() + run.cxx_files.size());
  if (plan_sources(source_language::fortran, run.fortran_files, run, table, plan) &&
      plan_sources(source_language::c, run.c_files, run, table, plan)) {
    plan_sources(source_language::cxx, run.cxx_files, run, table, plan);
  }
  return plan;
}

int compile_phase(run_state& run, const std::vector<planned_command>& plan) {
  for (std::size_t index = 0; index < plan.size(); ++index) {
    const planned_command& step = plan[index];
    if (!step.refusal.empty()) {
      print_error(step.refusal);
      return 1;
    }
    run.obj_files += step.object_entry;
    incremental_compile incremental = begin_incremental_compile(step);
    if (incremental.skip) {
      skip_command(step.kind, step.name);
      continue;
    }
    if (incremental.refused) return 1;
    const int id = begin_command(step.kind, step.name, step.program_variable);
    const int status = run_build_command(incremental.command, run.dry_run);
    end_incremental_compile(step, incremental, status);
    end_command(id, status, step.command, 1);
    if (status != 0) {
      if (step.fortran) report_module_order(plan, index);
      return status;
    }
  }
  return 0;
}

int compile_phase(run_state& run, variable_table& table) {
  return compile_phase(run, plan_compiles(run, table));
}
