// One run of decoded sound as the audio decoder hands it to the playback thread.
#pragma once
#include <vector>

namespace vell {

// Interleaved 32-bit float samples at the audio output's rate, with their media time.
struct AudioChunk {
  std::vector<float> samples;
  int channels = 2;
  int sampleRate = 44100;
  double pts = 0.0;  // seconds
};

}  // namespace vell
