// A configuration file that reaches up into the driver: the layer check must refuse it.
#include "driver/run_state.h"
