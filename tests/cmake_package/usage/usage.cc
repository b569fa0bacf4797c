// A module built with the usual target commands: its header comes from an include directory,
// USAGE_FACTOR from a definition, and the functions from the project's static and shared
// libraries.
#include <usage.h>
#include <zorvan/zorvan.h>
#include <zorvan/zrvinterp.h>

extern "C" double zrv_entry(int count, const double* values) {
  const double mean = zorvan_mean(values, count);
  zrvinterp_show("usage", usage_plus_one(usage_twice(mean)) * USAGE_FACTOR);
  return mean;
}
