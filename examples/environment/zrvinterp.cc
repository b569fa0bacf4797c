// The stand-in interpreter library, libzrvinterp.
#include "zorvan/zrvinterp.h"

#include <cstdio>

namespace {
int shown = 0;
}

extern "C" void zrvinterp_show(const char* name, double value) {
  std::printf("%s = %g\n", name, value);
  std::fflush(stdout);
  ++shown;
}

extern "C" int zrvinterp_shown_count(void) {
  return shown;
}
