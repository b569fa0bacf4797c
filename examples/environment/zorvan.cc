// The stand-in core library, libzorvan.
#include "zorvan/zorvan.h"

extern "C" const char* zorvan_version(void) {
  return ZORVAN_VERSION;
}

extern "C" double zorvan_mean(const double* values, int count) {
  if (count <= 0)
    return 0.0;
  double total = 0.0;
  for (int i = 0; i < count; ++i)
    total += values[i];
  return total / count;
}
