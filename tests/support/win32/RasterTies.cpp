// Windows: Direct2D may decide a few pixel centres lying exactly on a curve either way.
#include "support/RasterTies.h"

namespace vell::test {

int movedShapeTiePixels() { return 4; }

}  // namespace vell::test
