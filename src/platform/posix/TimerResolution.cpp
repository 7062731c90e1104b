// Linux: fine timers need nothing.
#include "platform/Clock.h"

namespace vell::detail {

// Linux sleeps end at their time already (high-resolution timers): nothing to ask for.
void setFineTimerResolution(bool) {}

}  // namespace vell::detail
