// A phase that reaches up into the driver: the layer check must refuse it.
#include "driver/command_line.h"
