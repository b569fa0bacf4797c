/* The C part of the example extension. */
#include <math.h>

double zrv_root_mean(double total, int count) { return count > 0 ? sqrt(total / count) : 0.0; }
