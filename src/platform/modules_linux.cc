// Module enumeration through the dynamic loader: the executable itself first, then every
// loaded shared object, each with its real base name and full path.
#include <link.h>
#include <unistd.h>

#include <climits>

#include "platform/modules.h"

namespace {

module_entry entry_for_path(const std::string& path) {
  std::string::size_type slash = path.rfind('/');
  return {slash == std::string::npos ? path : path.substr(slash + 1), path};
}

int add_shared_object(struct dl_phdr_info* info, size_t, void* data) {
  auto* modules = static_cast<std::vector<module_entry>*>(data);
  // The executable reports an empty name and the vDSO a name without a directory; neither is a
  // file of its own here.
  if (info->dlpi_name == nullptr || info->dlpi_name[0] != '/') return 0;
  modules->push_back(entry_for_path(info->dlpi_name));
  return 0;
}

}  // namespace

std::vector<module_entry> list_loaded_modules() {
  std::vector<module_entry> modules;
  char exe[PATH_MAX];
  ssize_t length = readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (length > 0) modules.push_back(entry_for_path(std::string(exe, length)));
  dl_iterate_phdr(add_shared_object, &modules);
  return modules;
}
