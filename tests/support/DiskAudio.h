// Test support: what the sound devices played, captured to a file the test reads.
#pragma once
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/Files.h"
#include "support/TempDir.h"

namespace vell::test {

// What the sound devices played, as raw interleaved 32-bit floats at 48 kHz stereo in a file the
// test names, so that tests can hear it. On Linux SDL's "disk" driver plays into the file at
// real-time pace, exactly what a device was given from its opening to its closing. On Windows
// the test records the default output from setDiskAudioFile until readDiskAudio: sound that is
// still in flight when a device closes is not heard, and the recording ends with the last
// sound played.
// This registers a global test environment that readies the sound system before any test runs
// (failing the run when it cannot) and points devices at `file` unless it is empty.
// For a test program's static initialisation:
//   ::testing::Environment* const k = addDiskAudioEnvironment();
::testing::Environment* addDiskAudioEnvironment(const std::string& file = "");

// Points the next device that opens at `path` ("/dev/null" keeps nothing); on Windows the
// recording starts here.
void setDiskAudioFile(const std::string& path);

// The whole file as floats (empty when it cannot be read), once the devices that played into
// it have closed.
std::vector<float> readDiskAudio(const std::string& path);

// A raw file of floats as written by the disk driver (empty when it cannot be read).
inline std::vector<float> readRawFloats(const std::string& path) {
  std::string bytes;
  if (!readFile(path, bytes)) return {};
  std::vector<float> samples(bytes.size() / sizeof(float));
  if (!samples.empty()) std::memcpy(samples.data(), bytes.data(), samples.size() * sizeof(float));
  return samples;
}

// While it lives, the devices that open play into a fresh file of its own (then "/dev/null"
// again, also when a test fails half-way).
struct DiskRun {
  TempDir dir;
  std::string file = dir.file("out.raw");
  DiskRun() { setDiskAudioFile(file); }
  ~DiskRun() { setDiskAudioFile("/dev/null"); }
  std::vector<float> samples() const { return readDiskAudio(file); }
};

}  // namespace vell::test
