// The stand-in host session: loads one extension module, calls its entry point with the
// numbers given on the command line and prints the result.
//   zrvhost MODULE [NUMBER ...]
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "zorvan/zorvan.h"
#include "zorvan/zrvinterp.h"

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
  void* module = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) {
    std::fprintf(stderr, "zrvhost: %s\n", dlerror());
    return 1;
  }
  auto* entry = reinterpret_cast<zrv_entry_function*>(dlsym(module, ZRV_ENTRY_NAME));
  if (entry == nullptr) {
    std::fprintf(stderr, "zrvhost: %s has no entry point %s\n", argv[1], ZRV_ENTRY_NAME);
    return 1;
  }
  std::printf("zorvan %s: loaded %s\n", zorvan_version(), argv[1]);
  const double result = entry(static_cast<int>(values.size()), values.data());
  std::printf("result = %g (%d values shown)\n", result, zrvinterp_shown_count());
  dlclose(module);
  return 0;
}
