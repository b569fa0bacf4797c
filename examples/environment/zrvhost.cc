// The stand-in host session: loads one extension module (dlopen, or LoadLibrary on Windows),
// calls its entry point with the numbers given on the command line and prints the result.
//   zrvhost MODULE [NUMBER ...]
#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "zorvan/zorvan.h"
#include "zorvan/zrvinterp.h"

namespace {

#ifdef _WIN32
using module_handle = HMODULE;
module_handle open_module(const char* path) {
  return LoadLibraryA(path);
}
void* find_symbol(module_handle module, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(module, name));
}
void close_module(module_handle module) {
  FreeLibrary(module);
}
std::string load_error(const char* path) {
  return std::string("cannot load ") + path + " (error " + std::to_string(GetLastError()) + ")";
}
#else
using module_handle = void*;
module_handle open_module(const char* path) {
  return dlopen(path, RTLD_NOW | RTLD_LOCAL);
}
void* find_symbol(module_handle module, const char* name) {
  return dlsym(module, name);
}
void close_module(module_handle module) {
  dlclose(module);
}
std::string load_error(const char*) {
  return dlerror();
}
#endif

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: zrvhost MODULE [NUMBER ...]\n");
    return 2;
  }
  std::vector<double> values;
  for (int i = 2; i < argc; ++i) {
    char* end = nullptr;
    values.push_back(std::strtod(argv[i], &end));
    if (end == argv[i] || *end != '\0') {
      std::fprintf(stderr, "zrvhost: not a number: %s\n", argv[i]);
      return 2;
    }
  }
  module_handle module = open_module(argv[1]);
  if (module == nullptr) {
    std::fprintf(stderr, "zrvhost: %s\n", load_error(argv[1]).c_str());
    return 1;
  }
  auto* entry = reinterpret_cast<zrv_entry_function*>(find_symbol(module, ZRV_ENTRY_NAME));
  if (entry == nullptr) {
    std::fprintf(stderr, "zrvhost: %s has no entry point %s\n", argv[1], ZRV_ENTRY_NAME);
    return 1;
  }
  std::printf("zorvan %s: loaded %s\n", zorvan_version(), argv[1]);
  const double result = entry(static_cast<int>(values.size()), values.data());
  std::printf("result = %g (%d values shown)\n", result, zrvinterp_shown_count());
  close_module(module);
  return 0;
}
