// A text rule that reaches into the platform layer: the layer check must refuse it.
#include "platform/wrappers.h"
