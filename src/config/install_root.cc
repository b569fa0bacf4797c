// The installation root rules and their application to this process.
#include "config/install_root.h"

#include <cstdlib>

#include "platform/modules.h"
#include "text/text_rules.h"

std::string module_install_root(const std::vector<module_entry>& modules, char separator) {
  const std::string marker = std::string(1, separator) + "bin" + separator;
  for (const module_entry& module : modules) {
    if (module.base_name.find("zorvan") == std::string::npos) continue;
    std::string path = module.full_path;
    if (path.empty() || path.back() != separator) path += separator;
    std::string::size_type bin = path.rfind(marker);
    // Only the first matching module counts, even when its path has no bin directory.
    return bin == std::string::npos ? std::string() : path.substr(0, bin);
  }
  return std::string();
}

std::string installation_root(const char* zorvan_home, const std::string& module_root,
                              const std::string& prefix) {
  if (zorvan_home != nullptr && *zorvan_home != '\0') return zorvan_home;
  if (!module_root.empty()) return module_root;
  return prefix;
}

std::string rebase_to_root(const std::string& path, const std::string& root,
                           const std::string& prefix, char separator) {
  std::string result = path;
  if (root != prefix && starts_with(result, prefix)) result.replace(0, prefix.size(), root);
  for (char& c : result) {
    if (c == '/') c = separator;
  }
  return result;
}

std::string process_installation_root(const std::string& prefix, char separator) {
  const char* home = std::getenv("ZORVAN_HOME");
  if (home != nullptr && *home != '\0') return installation_root(home, std::string(), prefix);
  return installation_root(home, module_install_root(list_loaded_modules(), separator), prefix);
}
