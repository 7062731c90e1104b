// Test support: raw float sound read back from a file.
#include "support/DiskAudio.h"

#include <cstring>

#include "platform/Files.h"

namespace vell::test {

std::vector<float> readRawFloats(const std::string& path) {
  std::string bytes;
  if (!readFile(path, bytes)) return {};
  std::vector<float> samples(bytes.size() / sizeof(float));
  if (!samples.empty()) std::memcpy(samples.data(), bytes.data(), samples.size() * sizeof(float));
  return samples;
}

}  // namespace vell::test
