// A configuration file that reaches up into the run's services: the layer check must refuse it.
#include "run/run_state.h"
