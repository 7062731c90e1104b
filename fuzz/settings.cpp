// Settings file reader: any bytes load without harm, and what is saved reads back the same.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "settings/Settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vell::Settings s;
  s.parse(std::string_view(reinterpret_cast<const char*>(data), size));
  std::string first = s.serialize();
  vell::Settings again;
  again.parse(first);
  if (again.serialize() != first) abort();
  return 0;
}
