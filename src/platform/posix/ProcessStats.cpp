// Linux: this process's CPU time and peak memory from getrusage.
#include "platform/ProcessStats.h"

#include <sys/resource.h>

namespace vell {

double processCpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

uint64_t peakResidentBytes() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<uint64_t>(u.ru_maxrss) * 1024;  // kilobytes on Linux
}

}  // namespace vell
