// Why a sequential Fortran compile may have failed: the module it uses is made later.
#include "phases/module_order_hint.h"

#include <algorithm>

#include "phases/module_scan.h"
#include "run/messages.h"

namespace {

bool defines(const fortran_scan& scan, const std::string& module) {
  return std::find(scan.defines.begin(), scan.defines.end(), module) != scan.defines.end();
}

}  // namespace

std::string module_order_hint(const std::vector<planned_command>& plan,
                              const std::vector<fortran_scan>& scans, std::size_t failed) {
  if (failed >= plan.size() || failed >= scans.size() || !plan[failed].fortran ||
      scans[failed].opaque)
    return "";
  for (const std::string& module : scans[failed].uses) {
    // A parent submodule ("ancestor:name") is no module file of its own name.
    if (module.find(':') != std::string::npos)
      continue;
    bool made_before = false;
    for (std::size_t index = 0; index <= failed && !made_before; ++index)
      made_before = defines(scans[index], module);
    if (made_before)
      continue;
    for (std::size_t index = failed + 1; index < plan.size() && index < scans.size(); ++index) {
      if (!plan[index].fortran || scans[index].opaque || !defines(scans[index], module))
        continue;
      return plan[failed].name + " uses module " + module + ", which " + plan[index].name +
             " (listed later) defines; list " + plan[index].name +
             " first or set ZRVBUILD_JOBS";
    }
  }
  return "";
}

void report_module_order(const std::vector<planned_command>& plan, std::size_t failed) {
  const std::string hint = module_order_hint(plan, scan_fortran_sources_as_they_stand(plan), failed);
  if (!hint.empty())
    print_error(hint);
}
