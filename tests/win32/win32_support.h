// Helpers of the Windows tests: paths of the programs built beside the tests, and fake tools.
#pragma once

#include <string>

// A path written by the build, in Windows form: under Wine the build's absolute paths are Unix
// paths, which lie on drive Z:.
std::string native_path(const std::string& built_path);

// The Windows directory, for the environment of programs started by a test.
std::string windows_directory();

// The test programs built beside the tests (see tests/win32.cmake).
std::string fake_tool_exe();
std::string argv_echo_exe();
std::string exec_launcher_exe();
std::string probe_dll();

// Puts the fake tool into dir as NAME.exe, exiting with status and writing output (when not
// empty) to standard output. Returns the path of its argument log, NAME.log.
std::string install_fake_tool(const std::string& dir, const std::string& name, int status,
                              const std::string& output = "");
