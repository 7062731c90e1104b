// Windows: the default output recorded through loopback into the test's file.
#include "support/DiskAudio.h"

#include <windows.h>
#include <audioclient.h>
#include <mmdeviceapi.h>
#include <wrl/client.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/AudioDevice.h"
#include "platform/Files.h"

namespace vell::test {
namespace {

using Microsoft::WRL::ComPtr;
using Clock = std::chrono::steady_clock;

constexpr int kRate = 48000;
constexpr int kChannels = 2;
// Room for a backlog the sound server hands over at once.
constexpr REFERENCE_TIME kRecordBuffer = 20000000;
// What the output played reaches the recording this much later at most.
constexpr auto kRecordLag = std::chrono::milliseconds(150);
constexpr GUID kFloatSubtype = {0x00000003, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

// Opens `device` for a shared stream of 48 kHz float stereo, converted from its mix format.
bool openStream(IMMDevice* device, DWORD flags, REFERENCE_TIME duration, ComPtr<IAudioClient>& client) {
  WAVEFORMATEX* mixRaw = nullptr;
  if (FAILED(device->Activate(__uuidof(IAudioClient), CLSCTX_ALL, nullptr,
                              reinterpret_cast<void**>(client.GetAddressOf()))) ||
      FAILED(client->GetMixFormat(&mixRaw)) || !mixRaw)
    return false;
  std::unique_ptr<WAVEFORMATEX, decltype(&CoTaskMemFree)> mix(mixRaw, CoTaskMemFree);
  WAVEFORMATEXTENSIBLE want{};
  want.Format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
  want.Format.nChannels = kChannels;
  want.Format.nSamplesPerSec = kRate;
  want.Format.wBitsPerSample = 32;
  want.Format.nBlockAlign = kChannels * sizeof(float);
  want.Format.nAvgBytesPerSec = kRate * want.Format.nBlockAlign;
  want.Format.cbSize = sizeof(WAVEFORMATEXTENSIBLE) - sizeof(WAVEFORMATEX);
  want.Samples.wValidBitsPerSample = 32;
  want.dwChannelMask = SPEAKER_FRONT_LEFT | SPEAKER_FRONT_RIGHT;
  want.SubFormat = kFloatSubtype;
  const bool same = mix->nSamplesPerSec == kRate && mix->nChannels == kChannels && mix->wBitsPerSample == 32 &&
                    (mix->wFormatTag == WAVE_FORMAT_IEEE_FLOAT ||
                     (mix->wFormatTag == WAVE_FORMAT_EXTENSIBLE &&
                      reinterpret_cast<const WAVEFORMATEXTENSIBLE*>(mix.get())->SubFormat == kFloatSubtype));
  if (!same) flags |= AUDCLNT_STREAMFLAGS_AUTOCONVERTPCM | AUDCLNT_STREAMFLAGS_SRC_DEFAULT_QUALITY;
  return SUCCEEDED(client->Initialize(AUDCLNT_SHAREMODE_SHARED, flags, duration, 0, &want.Format, nullptr));
}

// Records what the default output plays, from start() until finish(), on a thread of its own.
// Windows offers that as a loopback of the output. Wine's PulseAudio driver has no loopback;
// there the default recording device is the monitor of the output's sink (tools/wine-run.sh
// gives every program a sink of its own, so nothing else is mixed in).
class Recorder {
 public:
  ~Recorder() { stop(); }

  bool start(const std::string& path) {
    stop();
    path_ = path;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      samples_.clear();
      lost_ = false;
    }
    quit_.store(false);
    state_.store(0);
    thread_ = std::thread([this] { run(); });
    while (state_.load() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (state_.load() > 0) return true;
    stop();
    return false;
  }

  // Ends the recording and writes it to its file.
  void stop() {
    if (!thread_.joinable()) return;
    quit_.store(true);
    thread_.join();
    std::lock_guard<std::mutex> lock(mutex_);
    trimTrailingSilence();
    if (state_.load() > 0)
      writeFileAtomic(path_, std::string_view(reinterpret_cast<const char*>(samples_.data()),
                                            samples_.size() * sizeof(float)));
    path_.clear();
  }

  bool recording(const std::string& path) const { return thread_.joinable() && path == path_; }

  // Waits until the recording holds everything played before the call, then stops it.
  std::vector<float> finish() {
    const auto wanted = std::chrono::duration<double>(Clock::now() + kRecordLag - started_).count() * kRate;
    auto frames = [this] {
      std::lock_guard<std::mutex> lock(mutex_);
      return static_cast<double>(samples_.size() / kChannels);
    };
    const auto deadline = Clock::now() + std::chrono::seconds(3);
    while (frames() < wanted && Clock::now() < deadline) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const bool behind = frames() < wanted;
    stop();
    std::lock_guard<std::mutex> lock(mutex_);
    if (behind) ADD_FAILURE() << "the recording fell behind the output";
    if (lost_) ADD_FAILURE() << "the recording lost some of the sound";
    return std::move(samples_);
  }

 private:
  // The end of a recording is the silence after the output closed.
  void trimTrailingSilence() {
    size_t end = samples_.size();
    while (end >= kChannels && samples_[end - 1] == 0.0f && samples_[end - 2] == 0.0f) end -= kChannels;
    samples_.resize(end);
  }

  void run() {
    HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    {
      ComPtr<IMMDeviceEnumerator> enumerator;
      ComPtr<IMMDevice> output, input;
      ComPtr<IAudioClient> client, keepAlive;
      ComPtr<IAudioCaptureClient> capture;
      ComPtr<IAudioRenderClient> silence;
      UINT32 silenceFrames = 0;
      bool ok = SUCCEEDED(com) &&
                SUCCEEDED(CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL,
                                           IID_PPV_ARGS(&enumerator))) &&
                SUCCEEDED(enumerator->GetDefaultAudioEndpoint(eRender, eConsole, &output));
      if (ok && openStream(output.Get(), AUDCLNT_STREAMFLAGS_LOOPBACK, kRecordBuffer, client) &&
          SUCCEEDED(client->GetService(IID_PPV_ARGS(&capture)))) {
        // A loopback hears nothing while nothing plays: a silent stream keeps the time going.
        if (openStream(output.Get(), 0, 1000000, keepAlive) && SUCCEEDED(keepAlive->GetBufferSize(&silenceFrames)) &&
            SUCCEEDED(keepAlive->GetService(IID_PPV_ARGS(&silence))))
          keepAlive->Start();
      } else if (ok) {
        client.Reset();
        ok = SUCCEEDED(enumerator->GetDefaultAudioEndpoint(eCapture, eConsole, &input)) &&
             openStream(input.Get(), 0, kRecordBuffer, client) &&
             SUCCEEDED(client->GetService(IID_PPV_ARGS(&capture)));
      }
      ok = ok && SUCCEEDED(client->Start());
      started_ = Clock::now();
      state_.store(ok ? 1 : -1);

      while (ok && !quit_.load()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        UINT32 padding = 0;
        BYTE* data = nullptr;
        if (silence && SUCCEEDED(keepAlive->GetCurrentPadding(&padding)) && padding < silenceFrames &&
            SUCCEEDED(silence->GetBuffer(silenceFrames - padding, &data)))
          silence->ReleaseBuffer(silenceFrames - padding, AUDCLNT_BUFFERFLAGS_SILENT);
        UINT32 frames = 0;
        DWORD flags = 0;
        while (capture->GetBuffer(&data, &frames, &flags, nullptr, nullptr) == S_OK) {
          std::lock_guard<std::mutex> lock(mutex_);
          const size_t n = static_cast<size_t>(frames) * kChannels;
          // Windows marks a loopback's first packet; any later mark is sound the recording lost.
          lost_ = lost_ || ((flags & AUDCLNT_BUFFERFLAGS_DATA_DISCONTINUITY) && !samples_.empty());
          if (flags & AUDCLNT_BUFFERFLAGS_SILENT) {
            samples_.resize(samples_.size() + n, 0.0f);
          } else {
            const float* in = reinterpret_cast<const float*>(data);
            samples_.insert(samples_.end(), in, in + n);
          }
          capture->ReleaseBuffer(frames);
        }
      }
      if (ok) client->Stop();
      if (silence) keepAlive->Stop();
    }
    if (SUCCEEDED(com)) CoUninitialize();
  }

  std::thread thread_;
  std::atomic<bool> quit_{false};
  std::atomic<int> state_{0};  // 0 opening, 1 recording, -1 failed
  Clock::time_point started_;
  std::string path_;
  std::mutex mutex_;
  std::vector<float> samples_;
  bool lost_ = false;
};

Recorder& recorder() {
  static Recorder r;
  return r;
}

}  // namespace

::testing::Environment* addDiskAudioEnvironment(const std::string& file) {
  struct RecordingEnvironment : ::testing::Environment {
    std::string file;
    explicit RecordingEnvironment(std::string f) : file(std::move(f)) {}
    void SetUp() override {
      ASSERT_TRUE(initAudioSystem()) << "no sound output";
      if (!file.empty()) setDiskAudioFile(file);
    }
    void TearDown() override { recorder().stop(); }
  };
  return ::testing::AddGlobalTestEnvironment(new RecordingEnvironment(file));
}

// "/dev/null" keeps nothing: no recording runs.
void setDiskAudioFile(const std::string& path) {
  if (path == "/dev/null") {
    recorder().stop();
  } else if (!recorder().start(path)) {
    ADD_FAILURE() << "cannot record the sound output";
  }
}

std::vector<float> readDiskAudio(const std::string& path) {
  if (recorder().recording(path)) return recorder().finish();
  return readRawFloats(path);
}

}  // namespace vell::test
