// The installation root: where the environment actually lives, found from ZORVAN_HOME, from a
// loaded module of the process, or from the build prefix; and the rebasing of directory
// defaults onto it.
#pragma once

#include <string>
#include <vector>

#include "platform/modules.h"

// The root derived from the first module whose base name contains "zorvan": everything before
// the last "bin" between two separators in its path (a separator is appended to the path
// first). Empty when no module matches or the matching one has no such "bin". The separator is
// the build configuration's: "\bin\" is the marker in the standard configuration, "/bin/" where
// directories keep forward slashes.
std::string module_install_root(const std::vector<module_entry>& modules, char separator = '\\');

// ZORVAN_HOME when set and not empty (nullptr means unset), else the module root when not
// empty, else the build prefix.
std::string installation_root(const char* zorvan_home, const std::string& module_root,
                              const std::string& prefix);

// Replaces a leading build prefix by the root (when the two differ) and turns every '/' into
// the separator: a backslash in the standard configuration, so nothing changes with '/'.
std::string rebase_to_root(const std::string& path, const std::string& root,
                           const std::string& prefix, char separator = '\\');

// The installation root of this process; the module list is gathered only when ZORVAN_HOME
// does not decide.
std::string process_installation_root(const std::string& prefix, char separator = '\\');
