// Windows: the system timer switched to one millisecond and back.
#include <windows.h>
#include <timeapi.h>

#include "platform/Clock.h"

namespace vell::detail {

// One millisecond (on Windows 10 2004 and later for this process's waits alone).
void setFineTimerResolution(bool fine) {
  if (fine)
    timeBeginPeriod(1);
  else
    timeEndPeriod(1);
}

}  // namespace vell::detail
