#include "ui/Window.h"

namespace vexa {

void releaseWindowClasses() {}

}  // namespace vexa
