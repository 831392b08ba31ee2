// The message, dialog and control numbers, for the resource compiler.
#include "foundation/MessageIds.h"
