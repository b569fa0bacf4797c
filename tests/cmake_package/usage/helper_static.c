/* A static library of the project, linked into a module. */
#include "include/usage.h"

double usage_twice(double value) { return 2 * value; }
