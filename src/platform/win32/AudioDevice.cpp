// Windows (WASAPI): the sound system and the output device fed from a render thread.
#include "platform/AudioDevice.h"

#include <windows.h>
#include <audioclient.h>
#include <avrt.h>
#include <ksmedia.h>
#include <mmdeviceapi.h>
#include <mmreg.h>
#include <wrl/client.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace vell {
namespace {

using Microsoft::WRL::ComPtr;

// The engine's 10 ms period plus a period of lead, in 100 ns units.
constexpr REFERENCE_TIME kBufferDuration = 200000;
// A pause keeps the engine running on silence this long, so that what it already holds is heard
// before the pause rather than replayed ahead of the resume; then it stops (an idle stream would
// keep the machine from sleeping).
constexpr ULONGLONG kPauseDrainMs = 200;
// A running stream that signals nothing for this long has gone away without saying so.
constexpr DWORD kSilentEngineMs = 2000;
// KSDATAFORMAT_SUBTYPE_IEEE_FLOAT, spelled out so that no GUID library is needed.
constexpr GUID kFloatSubtype = {0x00000003, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

std::atomic<bool> systemReady{false};

bool deviceGone(HRESULT hr) { return hr == AUDCLNT_E_DEVICE_INVALIDATED || hr == AUDCLNT_E_SERVICE_NOT_RUNNING; }

bool isFloat32(const WAVEFORMATEX& f) {
  if (f.wBitsPerSample != 32) return false;
  if (f.wFormatTag == WAVE_FORMAT_IEEE_FLOAT) return true;
  return f.wFormatTag == WAVE_FORMAT_EXTENSIBLE && f.cbSize >= 22 &&
         reinterpret_cast<const WAVEFORMATEXTENSIBLE&>(f).SubFormat == kFloatSubtype;
}

DWORD speakerMask(int channels) {
  switch (channels) {
    case 1: return KSAUDIO_SPEAKER_MONO;
    case 2: return KSAUDIO_SPEAKER_STEREO;
    case 4: return KSAUDIO_SPEAKER_QUAD;
    case 6: return KSAUDIO_SPEAKER_5POINT1_SURROUND;
    case 8: return KSAUDIO_SPEAKER_7POINT1_SURROUND;
    default: return 0;
  }
}

// Marks the device lost when Windows moves the default output elsewhere, so that the player's
// recovery reopens on the new one.
class DefaultDeviceWatch final : public IMMNotificationClient {
 public:
  explicit DefaultDeviceWatch(std::shared_ptr<std::atomic<bool>> moved) : moved_(std::move(moved)) {}

  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == __uuidof(IUnknown) || iid == __uuidof(IMMNotificationClient)) {
      *out = static_cast<IMMNotificationClient*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }

  HRESULT STDMETHODCALLTYPE OnDefaultDeviceChanged(EDataFlow flow, ERole role, LPCWSTR) override {
    if (flow == eRender && role == eConsole) moved_->store(true);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnDeviceStateChanged(LPCWSTR, DWORD) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnDeviceAdded(LPCWSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnDeviceRemoved(LPCWSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnPropertyValueChanged(LPCWSTR, const PROPERTYKEY) override { return S_OK; }

 private:
  std::atomic<ULONG> refs_{1};
  std::shared_ptr<std::atomic<bool>> moved_;
};

}  // namespace

// Everything COM lives on the render thread, which initialises COM for itself: the callers'
// threads keep whatever apartment they chose. The FIFO is the queue the caller sees; the
// thread moves it into the device buffer on every period.
struct AudioDevice::Backend {
  Backend(int rate, int ch, bool accept) : wantedRate(rate), wantedChannels(ch), acceptDeviceFormat(accept) {
    ready = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  }
  ~Backend() {
    if (ready) CloseHandle(ready);
    if (wake) CloseHandle(wake);
  }

  const int wantedRate;
  const int wantedChannels;
  const bool acceptDeviceFormat;
  HANDLE ready = nullptr;  // signalled by the engine when it wants data
  HANDLE wake = nullptr;   // pause, resume or quit
  std::thread thread;
  AudioFormat format;

  std::mutex mutex;
  std::condition_variable opened;
  bool settled = false;  // the thread has tried to open
  bool ok = false;
  std::vector<float> fifo;
  size_t head = 0;  // samples of `fifo` already handed over
  bool paused = true;

  std::atomic<bool> quit{false};
  std::atomic<bool> gone{false};
  std::shared_ptr<std::atomic<bool>> moved = std::make_shared<std::atomic<bool>>(false);

  ComPtr<IMMDeviceEnumerator> enumerator;
  ComPtr<IMMDevice> device;
  ComPtr<IAudioClient> client;
  ComPtr<IAudioRenderClient> render;
  ComPtr<DefaultDeviceWatch> watch;
  UINT32 bufferFrames = 0;

  bool check(HRESULT hr) {
    if (deviceGone(hr)) gone.store(true);
    return SUCCEEDED(hr);
  }

  size_t queuedSamplesLocked() const { return fifo.size() - head; }

  void run() {
    HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    bool built = SUCCEEDED(com) && build();
    // One start with nothing to play readies the engine: wine's engine sets up its timing on its
    // first start, too late for the first buffer, which then runs dry and is cut by silence.
    if (built && SUCCEEDED(client->Start())) {
      client->Stop();
      client->Reset();
    }
    {
      std::lock_guard<std::mutex> lock(mutex);
      settled = true;
      ok = built;
    }
    opened.notify_all();
    if (built) {
      DWORD taskIndex = 0;
      HANDLE task = AvSetMmThreadCharacteristicsW(L"Pro Audio", &taskIndex);
      loop();
      if (task) AvRevertMmThreadCharacteristics(task);
    }
    // Released in the reverse order of their making, before COM goes.
    if (watch) enumerator->UnregisterEndpointNotificationCallback(watch.Get());
    watch.Reset();
    render.Reset();
    client.Reset();
    device.Reset();
    enumerator.Reset();
    if (SUCCEEDED(com)) CoUninitialize();
  }

  bool build() {
    if (!ready || !wake ||
        FAILED(CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL, IID_PPV_ARGS(&enumerator))) ||
        FAILED(enumerator->GetDefaultAudioEndpoint(eRender, eConsole, &device)) ||
        FAILED(device->Activate(__uuidof(IAudioClient), CLSCTX_ALL, nullptr,
                                reinterpret_cast<void**>(client.GetAddressOf()))))
      return false;
    WAVEFORMATEX* mixRaw = nullptr;
    if (FAILED(client->GetMixFormat(&mixRaw)) || !mixRaw) return false;
    std::unique_ptr<WAVEFORMATEX, decltype(&CoTaskMemFree)> mix(mixRaw, CoTaskMemFree);

    // The shared engine resamples and spreads fewer channels over the speakers, so the rate and
    // channels asked for are kept; more channels than the device has are left to the caller
    // to fold down.
    const int channels = acceptDeviceFormat ? std::min<int>(wantedChannels, mix->nChannels) : wantedChannels;
    if (initialize(wantedRate, channels, *mix)) return watchDefaultDevice();
    // A system that cannot convert still plays float in the mix format's own rate and layout.
    client.Reset();
    if (!acceptDeviceFormat || !isFloat32(*mix) ||
        FAILED(device->Activate(__uuidof(IAudioClient), CLSCTX_ALL, nullptr,
                                reinterpret_cast<void**>(client.GetAddressOf()))))
      return false;
    return initialize(static_cast<int>(mix->nSamplesPerSec), mix->nChannels, *mix) && watchDefaultDevice();
  }

  bool initialize(int rate, int channels, const WAVEFORMATEX& mix) {
    WAVEFORMATEXTENSIBLE want{};
    want.Format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
    want.Format.nChannels = static_cast<WORD>(channels);
    want.Format.nSamplesPerSec = static_cast<DWORD>(rate);
    want.Format.wBitsPerSample = 32;
    want.Format.nBlockAlign = static_cast<WORD>(channels * sizeof(float));
    want.Format.nAvgBytesPerSec = want.Format.nSamplesPerSec * want.Format.nBlockAlign;
    want.Format.cbSize = sizeof(WAVEFORMATEXTENSIBLE) - sizeof(WAVEFORMATEX);
    want.Samples.wValidBitsPerSample = 32;
    want.dwChannelMask = speakerMask(channels);
    if (mix.wFormatTag == WAVE_FORMAT_EXTENSIBLE && mix.cbSize >= 22 && mix.nChannels == channels)
      want.dwChannelMask = reinterpret_cast<const WAVEFORMATEXTENSIBLE&>(mix).dwChannelMask;
    want.SubFormat = kFloatSubtype;

    // The engine converts whatever differs from its own mix format.
    DWORD flags = AUDCLNT_STREAMFLAGS_EVENTCALLBACK | AUDCLNT_STREAMFLAGS_NOPERSIST;
    if (!isFloat32(mix) || static_cast<int>(mix.nSamplesPerSec) != rate || mix.nChannels != channels)
      flags |= AUDCLNT_STREAMFLAGS_AUTOCONVERTPCM | AUDCLNT_STREAMFLAGS_SRC_DEFAULT_QUALITY;
    REFERENCE_TIME period = 0;
    if (FAILED(client->Initialize(AUDCLNT_SHAREMODE_SHARED, flags, kBufferDuration, 0, &want.Format, nullptr)) ||
        FAILED(client->GetBufferSize(&bufferFrames)) || FAILED(client->GetService(IID_PPV_ARGS(&render))) ||
        FAILED(client->SetEventHandle(ready)) || FAILED(client->GetDevicePeriod(&period, nullptr))) {
      render.Reset();
      return false;
    }
    format.sampleRate = rate;
    format.channels = channels;
    format.periodFrames = std::max(1, static_cast<int>(period * rate / 10000000));
    return true;
  }

  bool watchDefaultDevice() {
    watch.Attach(new DefaultDeviceWatch(moved));
    if (FAILED(enumerator->RegisterEndpointNotificationCallback(watch.Get()))) watch.Reset();
    return true;
  }

  void loop() {
    HANDLE events[2] = {ready, wake};
    bool started = false;
    ULONGLONG lastPeriod = GetTickCount64(), pausedAt = 0;
    while (!quit.load()) {
      DWORD woke = WaitForMultipleObjects(2, events, FALSE, 100);
      if (quit.load()) break;
      if (gone.load()) continue;  // nothing more to do until the owner closes
      bool run;
      {
        std::lock_guard<std::mutex> lock(mutex);
        run = !paused;
      }
      const ULONGLONG now = GetTickCount64();
      if (run && !started) {
        // The buffer is filled before the engine starts so that it never opens on a gap.
        fill();
        started = check(client->Start());
        lastPeriod = now;
        continue;
      }
      if (!started) continue;
      if (run) {
        pausedAt = 0;
      } else if (pausedAt == 0) {
        pausedAt = now;
      } else if (now - pausedAt >= kPauseDrainMs) {
        // Only silence is left in the buffer by now.
        check(client->Stop());
        check(client->Reset());
        started = false;
        pausedAt = 0;
        continue;
      }
      if (woke == WAIT_OBJECT_0) {
        fill();
        lastPeriod = now;
      } else if (now - lastPeriod > kSilentEngineMs) {
        gone.store(true);
      }
    }
    if (started) client->Stop();
  }

  // Hands the engine as much of the FIFO as its buffer takes, and silence for the rest
  // (silence is not taken from the queue; while paused the engine gets silence only).
  void fill() {
    UINT32 padding = 0;
    if (!check(client->GetCurrentPadding(&padding)) || padding >= bufferFrames) return;
    const UINT32 space = bufferFrames - padding;
    BYTE* data = nullptr;
    if (!check(render->GetBuffer(space, &data))) return;
    const size_t ch = static_cast<size_t>(format.channels);
    size_t frames = 0;
    {
      std::lock_guard<std::mutex> lock(mutex);
      if (!paused) frames = std::min<size_t>(space, queuedSamplesLocked() / ch);
      if (frames > 0) std::memcpy(data, fifo.data() + head, frames * ch * sizeof(float));
      head += frames * ch;
      if (head == fifo.size()) {
        fifo.clear();
        head = 0;
      } else if (head >= 65536 && head * 2 >= fifo.size()) {
        fifo.erase(fifo.begin(), fifo.begin() + static_cast<std::ptrdiff_t>(head));
        head = 0;
      }
    }
    std::memset(data + frames * ch * sizeof(float), 0, (space - frames) * ch * sizeof(float));
    check(render->ReleaseBuffer(space, frames == 0 ? AUDCLNT_BUFFERFLAGS_SILENT : 0));
  }
};

bool initAudioSystem() {
  if (systemReady.load()) return true;
  // COM on the caller's thread is the caller's business: the check runs on a thread of its own.
  bool ok = false;
  std::thread([&ok] {
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return;
    {
      ComPtr<IMMDeviceEnumerator> enumerator;
      ComPtr<IMMDeviceCollection> endpoints;
      ok = SUCCEEDED(
               CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL, IID_PPV_ARGS(&enumerator))) &&
           SUCCEEDED(enumerator->EnumAudioEndpoints(eRender, DEVICE_STATE_ACTIVE, &endpoints));
    }
    CoUninitialize();
  }).join();
  if (ok) systemReady.store(true);
  return ok;
}

std::string audioDriverName() { return systemReady.load() ? "wasapi" : ""; }

AudioDevice::~AudioDevice() { close(); }

bool AudioDevice::open(int sampleRate, int channels, bool acceptDeviceFormat, AudioFormat& obtained) {
  close();
  if (sampleRate < 1 || channels < 1 || channels > 255) return false;
  auto backend = std::make_unique<Backend>(sampleRate, channels, acceptDeviceFormat);
  Backend* b = backend.get();
  b->thread = std::thread([b] { b->run(); });
  bool ok;
  {
    std::unique_lock<std::mutex> lock(b->mutex);
    b->opened.wait(lock, [b] { return b->settled; });
    ok = b->ok;
  }
  if (!ok) {
    b->thread.join();
    return false;
  }
  systemReady.store(true);
  obtained = b->format;
  frameBytes_.store(static_cast<int>(sizeof(float)) * b->format.channels);
  simulatedLoss_.store(false);
  backend_ = backend.release();
  id_.store(1);
  return true;
}

void AudioDevice::close() {
  if (id_.exchange(0) == 0) return;
  std::unique_ptr<Backend> b(backend_);
  backend_ = nullptr;
  b->quit.store(true);
  SetEvent(b->wake);
  b->thread.join();
}

int AudioDevice::queuedFrames() const {
  int frameBytes = frameBytes_.load();
  if (id_.load() == 0 || !backend_ || frameBytes <= 0) return -1;
  std::lock_guard<std::mutex> lock(backend_->mutex);
  return static_cast<int>(backend_->queuedSamplesLocked() * sizeof(float) / static_cast<size_t>(frameBytes));
}

bool AudioDevice::queue(const float* samples, int frames) {
  if (id_.load() == 0 || !backend_ || frames < 0 || (frames > 0 && !samples)) return false;
  if (frames == 0) return true;
  size_t count = static_cast<size_t>(frames) * static_cast<size_t>(frameBytes_.load()) / sizeof(float);
  std::lock_guard<std::mutex> lock(backend_->mutex);
  backend_->fifo.insert(backend_->fifo.end(), samples, samples + count);
  return true;
}

void AudioDevice::clearQueue() {
  if (id_.load() == 0 || !backend_) return;
  std::lock_guard<std::mutex> lock(backend_->mutex);
  backend_->fifo.clear();
  backend_->head = 0;
}

void AudioDevice::pause() {
  if (id_.load() == 0 || !backend_) return;
  {
    std::lock_guard<std::mutex> lock(backend_->mutex);
    backend_->paused = true;
  }
  SetEvent(backend_->wake);
}

void AudioDevice::resume() {
  if (id_.load() == 0 || !backend_) return;
  {
    std::lock_guard<std::mutex> lock(backend_->mutex);
    backend_->paused = false;
  }
  SetEvent(backend_->wake);
}

bool AudioDevice::lost() const {
  if (simulatedLoss_.load()) return true;
  return id_.load() != 0 && backend_ && (backend_->gone.load() || backend_->moved->load());
}

}  // namespace vell
