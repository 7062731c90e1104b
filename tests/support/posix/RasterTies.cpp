// Linux: cairo draws a shape moved by whole pixels alike.
#include "support/RasterTies.h"

namespace vell::test {

int movedShapeTiePixels() { return 0; }

}  // namespace vell::test
