/* A shared library of the project, linked by a module and a program. */
#include "usage.h"

double usage_plus_one(double value) { return value + 1; }
