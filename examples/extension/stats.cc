// An example extension module: the mean and the root mean square of its arguments. The sum of
// squares comes from Fortran, the square root from C, the mean from the environment's core
// library, and the values are shown through its interpreter library.
#include <zorvan/zorvan.h>
#include <zorvan/zrvinterp.h>

extern "C" double zrv_sum_squares(const double* values, int count);  // sumsq.f90
extern "C" double zrv_root_mean(double total, int count);            // scale.c

extern "C" double zrv_entry(int count, const double* values) {
  const double mean = zorvan_mean(values, count);
  const double rms = zrv_root_mean(zrv_sum_squares(values, count), count);
  zrvinterp_show("count", count);
  zrvinterp_show("mean", mean);
  zrvinterp_show("rms", rms);
  return rms - mean;
}
