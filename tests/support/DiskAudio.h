#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vell::test {

// SDL's "disk" sound driver plays at real-time pace into a raw file of interleaved 32-bit
// floats, so tests can hear what a device was given. It must be chosen before anything opens
// a sound device: this registers a global test environment that picks it before any test
// runs (failing the run when it cannot) and points devices at `file` unless it is empty.
// For a test program's static initialisation:
//   ::testing::Environment* const k = addDiskAudioEnvironment();
::testing::Environment* addDiskAudioEnvironment(const std::string& file = "");

// Points the next device that opens at `path` (the driver reads the name at open time).
void setDiskAudioFile(const std::string& path);

// The whole file as floats (empty when it cannot be read).
std::vector<float> readDiskAudio(const std::string& path);

}  // namespace vell::test
