// A platform file that reaches up into the configuration: the layer check must refuse it.
#pragma once
#include "config/install_root.h"
