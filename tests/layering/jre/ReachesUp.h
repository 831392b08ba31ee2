// A file of a lower folder that reaches up: the layer check must refuse it.
#pragma once

#include "foundation/Text.h"
#include "launcher/LauncherApp.h"
