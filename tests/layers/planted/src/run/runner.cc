// A service of the run that reaches up into the phases: the layer check must refuse it.
#include "phases/link.h"
