// The link phase.
#include "phases/link.h"

#include "build_constants.h"
#include "phases/command_text.h"
#include "phases/incremental.h"
#include "platform/interpreter.h"
#include "run/command_log.h"
#include "run/messages.h"
#include "run/runner.h"
#include "text/text_rules.h"

namespace {

// Each link command is its head, the object and library lists, and its tail; the lists are
// kept apart so that they can move into a response file.
std::string link_lists(const run_state& run) {
  return join_pieces(run.obj_files, " ", run.lib_files);
}

std::string module_link_head(const run_state& run, variable_table& table) {
  return join_pieces(table["DL_LD"], " ", table["ALL_CXXFLAGS"], " ", table["DL_LDFLAGS"], " ",
                     run.pass_on_flags, " -o ", quote_file_for_interpreter(run.target_file), " ");
}

std::string module_link_tail(const run_state& run, variable_table& table) {
  return join_pieces(" ", run.linker_flags, " ", table["LFLAGS"], " -lzrvinterp -lzorvan ",
                     table["ZRV_LINK_OPTS"], " ", table["ZRV_LINK_DEPS"]);
}

std::string stand_alone_link_head(const run_state& run, variable_table& table) {
  return join_pieces(table["LD_CXX"], " ", table["CPPFLAGS"], " ", table["ALL_CXXFLAGS"], " ",
                     table["RDYNAMIC_FLAG"], " ", table["ALL_LDFLAGS"], " ", run.pass_on_flags, " ",
                     run.ld_output_option, " ");
}

std::string stand_alone_link_tail(const run_state& run, variable_table& table) {
  return join_pieces(" ", run.linker_flags, " ", table["LFLAGS"], " -lzrvinterp -lzorvan ", " ",
                     table["ZORVAN_LINK_OPTS"], " ", table["ZORVAN_LINK_DEPS"]);
}

}  // namespace

std::string compose_module_link_command(const run_state& run, variable_table& table) {
  return join_pieces(module_link_head(run, table), link_lists(run), module_link_tail(run, table));
}

std::string compose_stand_alone_link_command(const run_state& run, variable_table& table) {
  return join_pieces(stand_alone_link_head(run, table), link_lists(run),
                     stand_alone_link_tail(run, table));
}

std::string strip_target(const run_state& run, const std::string& default_executable_name,
                         const std::string& executable_suffix) {
  if (!run.link_stand_alone) return run.target_file;
  if (run.output_file.empty()) return default_executable_name;
  return linked_executable_name(run.output_file, executable_suffix);
}

int link_phase(const run_state& run, variable_table& table) {
  if (run.link_stand_alone && table["LD_CXX"].empty()) {
    print_error("no way to link stand-alone executable file");
    return 1;
  }
  const std::string product = strip_target(run, build_constants::default_executable_name,
                                           build_constants::executable_suffix);
  const std::string head =
      run.link_stand_alone ? stand_alone_link_head(run, table) : module_link_head(run, table);
  const std::string tail =
      run.link_stand_alone ? stand_alone_link_tail(run, table) : module_link_tail(run, table);
  const std::string lists = link_lists(run);
  const std::string strip_command = "strip " + quote_file_for_interpreter(product);
  // The strip follows its link: the record holds both commands.
  const std::string recorded =
      join_pieces(head, lists, tail) + (run.strip ? "\n" + strip_command : std::string());
  if (link_is_up_to_date(product, recorded)) {
    skip_command(command_kind::link, product);
    if (run.strip) skip_command(command_kind::strip, product);
    return 0;
  }
  const long long started = incremental_clock();
  const int link_id =
      begin_command(command_kind::link, product, run.link_stand_alone ? "LD_CXX" : "DL_LD");
  const int status = run_link_command(head, lists, tail, run.dry_run);
  end_command(link_id, status, join_pieces(head, lists, tail), 1);
  if (status != 0 || !run.strip) {
    end_incremental_link(product, recorded, lists, started, status);
    return status;
  }
  const int strip_id = begin_command(command_kind::strip, product);
  const int strip_status = run_build_command(strip_command, run.dry_run);
  end_command(strip_id, strip_status, strip_command, 1);
  end_incremental_link(product, recorded, lists, started, strip_status);
  return strip_status;
}
