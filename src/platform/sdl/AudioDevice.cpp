// Linux (SDL2): the sound system and the output device as a queue of float frames.
#include "platform/AudioDevice.h"

#include <SDL2/SDL.h>

#include <mutex>
#include <string>

namespace vell {
namespace {

// SDL's subsystem bookkeeping and its device table are not safe against concurrent
// callers, so initialisation, opening and closing go through this one lock.
std::mutex& sdlAudioMutex() {
  static std::mutex m;
  return m;
}

bool& audioInitialised() {
  static bool done = false;
  return done;
}

int& openDevices() {
  static int count = 0;
  return count;
}

// The stream's name and role for the sound settings. SDL 2.26's PulseAudio driver takes the
// name from the hint but not the role: libpulse adds the properties in PULSE_PROP to every
// connection it makes, and SDL connects once per device.
void describeStreamLocked() {
  AudioStreamDescription d = audioStreamDescription();
  const char* role = d.video ? "video" : "music";
  SDL_SetHint(SDL_HINT_AUDIO_DEVICE_STREAM_NAME, d.title.empty() ? "Vell Player" : d.title.c_str());
  SDL_SetHint(SDL_HINT_AUDIO_DEVICE_STREAM_ROLE, role);
  static const std::string userProps = [] {
    const char* p = SDL_getenv("PULSE_PROP");
    return std::string(p ? p : "");
  }();
  std::string props = userProps.empty() ? "" : userProps + " ";
  SDL_setenv("PULSE_PROP", (props + "media.role=" + role).c_str(), 1);
  // SDL asks the server to hold one device period. Sound without a picture may lie further
  // ahead, and then rides out the moments a busy machine leaves no thread of ours running (a
  // virtual machine's host stops it for 100 ms at times). A picture keeps the short lead for
  // its lip sync. An empty value is ignored, as is ours when the user set one.
  static const bool userLatency = SDL_getenv("PULSE_LATENCY_MSEC") != nullptr;
  if (!userLatency) SDL_setenv("PULSE_LATENCY_MSEC", d.video ? "" : "150", 1);
}

bool initLocked() {
  if (audioInitialised()) return true;
  // PulseAudio names the client after this when it connects.
  if (!SDL_GetHint(SDL_HINT_APP_NAME)) SDL_SetHint(SDL_HINT_APP_NAME, "Vell Player");
  describeStreamLocked();
  audioInitialised() = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
  return audioInitialised();
}

}  // namespace

bool initAudioSystem() {
  std::lock_guard<std::mutex> lock(sdlAudioMutex());
  return initLocked();
}

bool restartAudioSystem() {
  std::lock_guard<std::mutex> lock(sdlAudioMutex());
  if (openDevices() > 0) return true;
  if (audioInitialised()) {
    // The same driver again: with the server gone, another one (ALSA) might take the sound
    // card from under the server that comes back. SDL_AUDIODRIVER still wins over this.
    if (const char* driver = SDL_GetCurrentAudioDriver()) SDL_SetHint(SDL_HINT_AUDIODRIVER, driver);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    audioInitialised() = false;
  }
  return initLocked();
}

std::string audioDriverName() {
  std::lock_guard<std::mutex> lock(sdlAudioMutex());
  const char* name = audioInitialised() ? SDL_GetCurrentAudioDriver() : nullptr;
  return name ? name : "";
}

AudioDevice::~AudioDevice() { close(); }

bool AudioDevice::open(int sampleRate, int channels, bool acceptDeviceFormat, AudioFormat& obtained) {
  close();
  if (sampleRate < 1 || channels < 1 || channels > 255) return false;
  std::lock_guard<std::mutex> lock(sdlAudioMutex());
  if (!initLocked()) return false;
  describeStreamLocked();

  SDL_AudioSpec want{};
  want.freq = sampleRate;
  want.format = AUDIO_F32SYS;
  want.channels = static_cast<Uint8>(channels);
  // Forty milliseconds per device period. SDL's PulseAudio stream asks the server to buffer
  // only one period, so the period is all the slack the sound has while SDL's threads wait
  // for the CPU: with ten milliseconds it broke up under a parallel build.
  int period = sampleRate / 25;
  want.samples = static_cast<Uint16>(period < 64 ? 64 : (period > 8192 ? 8192 : period));
  want.callback = nullptr;  // push mode: SDL_QueueAudio

  SDL_AudioSpec have{};
  int allowed = acceptDeviceFormat ? (SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_CHANNELS_CHANGE) : 0;
  SDL_AudioDeviceID id = SDL_OpenAudioDevice(nullptr, 0, &want, &have, allowed);
  if (id == 0) return false;
  ++openDevices();
  if (!acceptDeviceFormat) {
    have.freq = want.freq;
    have.channels = want.channels;
  }
  obtained.sampleRate = have.freq;
  obtained.channels = have.channels;
  obtained.periodFrames = have.samples;
  frameBytes_.store(static_cast<int>(sizeof(float)) * have.channels);
  simulatedLoss_.store(false);
  id_.store(id);
  return true;
}

void AudioDevice::close() {
  uint32_t id = id_.exchange(0);
  if (id == 0) return;
  std::lock_guard<std::mutex> lock(sdlAudioMutex());
  SDL_CloseAudioDevice(id);
  --openDevices();
}

int AudioDevice::queuedFrames() const {
  uint32_t id = id_.load();
  int frameBytes = frameBytes_.load();
  if (id == 0 || frameBytes <= 0) return -1;
  return static_cast<int>(SDL_GetQueuedAudioSize(id) / static_cast<Uint32>(frameBytes));
}

bool AudioDevice::queue(const float* samples, int frames) {
  uint32_t id = id_.load();
  if (id == 0 || frames < 0) return false;
  if (frames == 0) return true;
  Uint32 bytes = static_cast<Uint32>(frames) * static_cast<Uint32>(frameBytes_.load());
  return SDL_QueueAudio(id, samples, bytes) == 0;
}

void AudioDevice::clearQueue() {
  if (uint32_t id = id_.load()) SDL_ClearQueuedAudio(id);
}

void AudioDevice::pause() {
  if (uint32_t id = id_.load()) SDL_PauseAudioDevice(id, 1);
}

void AudioDevice::resume() {
  if (uint32_t id = id_.load()) SDL_PauseAudioDevice(id, 0);
}

bool AudioDevice::lost() const {
  if (simulatedLoss_.load()) return true;
  uint32_t id = id_.load();
  // A removed device reports "stopped"; an open one is only ever playing or paused.
  return id != 0 && SDL_GetAudioDeviceStatus(id) == SDL_AUDIO_STOPPED;
}

}  // namespace vell
