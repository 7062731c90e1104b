// Windows: the system media transport controls and the task bar's thumbnail buttons.
#include "platform/MediaControls.h"

#include <windows.h>
#include <shobjidl.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cwchar>
#include <mutex>
#include <type_traits>

#include "platform/Files.h"
#include "platform/Log.h"
#include "platform/win32/WinRtMedia.h"
#include "platform/win32/WinText.h"
#include "platform/win32/WinWindow.h"

namespace vell {

namespace {

// The thumbnail toolbar under the task bar button: previous, play/pause, next.
enum ButtonId { kPrevious = 1, kPlayPause = 2, kNext = 3 };
enum Glyph { kGlyphPrevious, kGlyphPlay, kGlyphPause, kGlyphNext, kGlyphCount };

// A 16 x 16 white glyph on a clear ground.
bool glyphCovers(Glyph glyph, float x, float y) {
  auto triangle = [&](float left, float right, bool pointsRight) {  // from 3 to 13 high
    if (x < left || x > right || y < 3 || y > 13) return false;
    float reach = (right - left) * (1 - std::fabs(y - 8) / 5);
    return pointsRight ? x <= left + reach : x >= right - reach;
  };
  switch (glyph) {
    case kGlyphPlay: return triangle(4, 13, true);
    case kGlyphPause: return y >= 3 && y <= 13 && ((x >= 4 && x <= 7) || (x >= 9 && x <= 12));
    case kGlyphPrevious: return (x >= 3 && x <= 5 && y >= 3 && y <= 13) || triangle(5, 13, false);
    case kGlyphNext: return (x >= 11 && x <= 13 && y >= 3 && y <= 13) || triangle(3, 11, true);
    default: return false;
  }
}

HICON makeGlyph(Glyph glyph) {
  constexpr int n = 16;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = n;
  info.bmiHeader.biHeight = -n;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP color = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!color) return nullptr;
  auto* px = static_cast<uint32_t*>(bits);
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x) px[y * n + x] = glyphCovers(glyph, x + 0.5f, y + 0.5f) ? 0xFFFFFFFFu : 0;
  HBITMAP mask = CreateBitmap(n, n, 1, 1, nullptr);
  ICONINFO ii{TRUE, 0, 0, mask, color};
  HICON icon = CreateIconIndirect(&ii);
  DeleteObject(mask);
  DeleteObject(color);
  return icon;
}

// The Windows Runtime's entry points, looked up at run time so that the program starts where
// there are none (Windows 7).
struct RoFunctions {
  HRESULT(WINAPI* getFactory)(HSTRING, REFIID, void**) = nullptr;
  HRESULT(WINAPI* createString)(LPCWSTR, UINT32, HSTRING*) = nullptr;
  HRESULT(WINAPI* deleteString)(HSTRING) = nullptr;

  bool load() {
    HMODULE combase = LoadLibraryW(L"combase.dll");
    if (!combase) return false;
    auto find = [combase](auto& fn, const char* name) {
      using Fn = std::remove_reference_t<decltype(fn)>;
      fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(combase, name)));
      return fn != nullptr;
    };
    return find(getFactory, "RoGetActivationFactory") && find(createString, "WindowsCreateString") &&
           find(deleteString, "WindowsDeleteString");
  }
};

// A string for the duration of one call.
class RoString {
 public:
  RoString(const RoFunctions& ro, const std::string& text) : ro_(ro) {
    std::wstring w = win::widen(text);
    if (FAILED(ro_.createString(w.c_str(), static_cast<UINT32>(w.size()), &s_))) s_ = nullptr;
  }
  ~RoString() {
    if (s_) ro_.deleteString(s_);
  }
  RoString(const RoString&) = delete;
  RoString& operator=(const RoString&) = delete;
  HSTRING get() const { return s_; }

 private:
  const RoFunctions& ro_;
  HSTRING s_ = nullptr;
};

// Receives the transport controls' button presses, on a thread of the system's.
class ButtonHandler final : public winrt::IButtonPressedHandler {
 public:
  explicit ButtonHandler(std::function<void(winrt::TransportButton)> pressed) : pressed_(std::move(pressed)) {}

  // After this no press reaches the owner, also one arriving meanwhile on another thread.
  void disconnect() {
    std::lock_guard<std::mutex> lock(mutex_);
    pressed_ = nullptr;
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    if (riid == __uuidof(IUnknown) || riid == winrt::kButtonHandlerIid || riid == winrt::kAgileObjectIid) {
      *out = static_cast<winrt::IButtonPressedHandler*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG n = --refs_;
    if (n == 0) delete this;
    return n;
  }

  HRESULT STDMETHODCALLTYPE Invoke(IInspectable*, IInspectable* args) override {
    winrt::ISystemMediaTransportControlsButtonPressedEventArgs* pressed = nullptr;
    if (!args || FAILED(args->QueryInterface(winrt::kButtonPressedArgsIid, reinterpret_cast<void**>(&pressed))))
      return S_OK;
    winrt::TransportButton button = winrt::ButtonPlay;
    HRESULT hr = pressed->get_Button(&button);
    pressed->Release();
    std::lock_guard<std::mutex> lock(mutex_);
    if (SUCCEEDED(hr) && pressed_) pressed_(button);
    return S_OK;
  }

 private:
  std::atomic<ULONG> refs_{1};
  std::mutex mutex_;
  std::function<void(winrt::TransportButton)> pressed_;
};

// The system media transport controls of the window: the media overlay of the volume keys, the
// lock screen and the media keys.
struct TransportControls {
  RoFunctions ro;
  winrt::ISystemMediaTransportControls* controls = nullptr;
  winrt::ISystemMediaTransportControlsDisplayUpdater* updater = nullptr;
  ButtonHandler* buttons = nullptr;
  EventRegistrationToken token{};
  // What they show, to tell them only of changes.
  MediaStatus shown;
  bool fresh = true;

  bool start(HWND hwnd, std::function<void(winrt::TransportButton)> pressed) {
    HRESULT hr = E_NOTIMPL;
    if (ro.load()) {
      RoString name(ro, "Windows.Media.SystemMediaTransportControls");
      winrt::ISystemMediaTransportControlsInterop* interop = nullptr;
      hr = name.get() ? ro.getFactory(name.get(), winrt::kInteropIid, reinterpret_cast<void**>(&interop)) : E_FAIL;
      if (SUCCEEDED(hr)) {
        hr = interop->GetForWindow(hwnd, winrt::kControlsIid, reinterpret_cast<void**>(&controls));
        interop->Release();
      }
      IInspectable* display = nullptr;
      if (SUCCEEDED(hr)) hr = controls->get_DisplayUpdater(&display);
      if (SUCCEEDED(hr)) {
        hr = display->QueryInterface(winrt::kDisplayUpdaterIid, reinterpret_cast<void**>(&updater));
        display->Release();
      }
      if (SUCCEEDED(hr)) {
        buttons = new ButtonHandler(std::move(pressed));
        hr = controls->add_ButtonPressed(buttons, &token);
      }
    }
    if (FAILED(hr)) {
      debugLog("System media transport controls unavailable (0x%08lx)", static_cast<unsigned long>(hr));
      stop();
      return false;
    }
    controls->put_IsEnabled(TRUE);
    controls->put_IsStopEnabled(TRUE);
    fresh = true;
    return true;
  }

  void stop() {
    if (buttons) {
      buttons->disconnect();
      if (controls && token.value) controls->remove_ButtonPressed(token);
      buttons->Release();
      buttons = nullptr;
    }
    token = {};
    if (updater) {
      updater->ClearAll();
      updater->Update();
      updater->Release();
      updater = nullptr;
    }
    if (controls) {
      controls->put_PlaybackStatus(winrt::StatusClosed);
      controls->put_IsEnabled(FALSE);
      controls->Release();
      controls = nullptr;
    }
    shown = MediaStatus{};
  }

  void update(const MediaStatus& s) {
    if (!controls) return;
    if (fresh || s.state != shown.state) {
      controls->put_PlaybackStatus(s.state == MediaStatus::Playing  ? winrt::StatusPlaying
                                   : s.state == MediaStatus::Paused ? winrt::StatusPaused
                                                                    : winrt::StatusStopped);
    }
    if (fresh || s.canPlay != shown.canPlay) controls->put_IsPlayEnabled(s.canPlay);
    if (fresh || s.canPause != shown.canPause) controls->put_IsPauseEnabled(s.canPause);
    if (fresh || s.canGoNext != shown.canGoNext) controls->put_IsNextEnabled(s.canGoNext);
    if (fresh || s.canGoPrevious != shown.canGoPrevious) controls->put_IsPreviousEnabled(s.canGoPrevious);
    if (fresh || s.title != shown.title || s.artist != shown.artist || s.video != shown.video) showTitle(s);
    shown = s;
    fresh = false;
  }

  void showTitle(const MediaStatus& s) {
    updater->ClearAll();
    if (!s.title.empty() || !s.artist.empty()) {
      RoString title(ro, s.title), artist(ro, s.artist);
      IInspectable* properties = nullptr;
      if (s.video) {
        winrt::IVideoDisplayProperties* video = nullptr;
        updater->put_Type(winrt::TypeVideo);
        if (SUCCEEDED(updater->get_VideoProperties(&properties)) &&
            SUCCEEDED(properties->QueryInterface(winrt::kVideoPropertiesIid, reinterpret_cast<void**>(&video)))) {
          video->put_Title(title.get());
          video->put_Subtitle(artist.get());
          video->Release();
        }
      } else {
        winrt::IMusicDisplayProperties* music = nullptr;
        updater->put_Type(winrt::TypeMusic);
        if (SUCCEEDED(updater->get_MusicProperties(&properties)) &&
            SUCCEEDED(properties->QueryInterface(winrt::kMusicPropertiesIid, reinterpret_cast<void**>(&music)))) {
          music->put_Title(title.get());
          music->put_Artist(artist.get());
          music->Release();
        }
      }
      if (properties) properties->Release();
    }
    updater->Update();
  }
};

}  // namespace

// The task bar button: the playing medium's progress and a thumbnail toolbar. Everything runs
// on the window thread.
struct MediaControls::Impl {
  HWND hwnd = nullptr;
  ITaskbarList3* taskbar = nullptr;
  Handler handler;
  HICON glyphs[kGlyphCount] = {};
  bool buttonsAdded = false;
  MediaStatus shown;
  int progressState = -1;
  TransportControls transport;

  THUMBBUTTON button(ButtonId id, const MediaStatus& s) const {
    THUMBBUTTON b{};
    b.dwMask = static_cast<THUMBBUTTONMASK>(THB_ICON | THB_TOOLTIP | THB_FLAGS);
    b.iId = id;
    bool enabled = true;
    const wchar_t* tip = L"";
    switch (id) {
      case kPrevious:
        b.hIcon = glyphs[kGlyphPrevious];
        tip = L"이전";
        enabled = s.canGoPrevious;
        break;
      case kPlayPause: {
        bool playing = s.state == MediaStatus::Playing;
        b.hIcon = glyphs[playing ? kGlyphPause : kGlyphPlay];
        tip = playing ? L"일시정지" : L"재생";
        enabled = playing ? s.canPause : s.canPlay;
        break;
      }
      case kNext:
        b.hIcon = glyphs[kGlyphNext];
        tip = L"다음";
        enabled = s.canGoNext;
        break;
    }
    wcsncpy(b.szTip, tip, 259);
    b.dwFlags = enabled ? THBF_ENABLED : THBF_DISABLED;
    return b;
  }

  void addButtons() {
    if (!taskbar) return;
    THUMBBUTTON buttons[] = {button(kPrevious, shown), button(kPlayPause, shown), button(kNext, shown)};
    // Refused until the task bar has made the button; TaskbarButtonCreated brings us back.
    buttonsAdded = SUCCEEDED(taskbar->ThumbBarAddButtons(hwnd, 3, buttons));
    progressState = -1;
  }

  void clicked(int id) {
    if (!handler) return;
    MediaRequest r;
    r.command = id == kPrevious ? MediaCommand::Previous : id == kNext ? MediaCommand::Next : MediaCommand::PlayPause;
    handler(r);
  }

  // Any thread: the handler passes requests on to the window thread.
  void transportPressed(winrt::TransportButton button) {
    MediaRequest r;
    switch (button) {
      case winrt::ButtonPlay: r.command = MediaCommand::Play; break;
      case winrt::ButtonPause: r.command = MediaCommand::Pause; break;
      case winrt::ButtonStop: r.command = MediaCommand::Stop; break;
      case winrt::ButtonNext: r.command = MediaCommand::Next; break;
      case winrt::ButtonPrevious: r.command = MediaCommand::Previous; break;
      default: return;
    }
    if (handler) handler(r);
  }
};

MediaControls::MediaControls() : impl_(std::make_unique<Impl>()) {}

MediaControls::~MediaControls() { stop(); }

bool MediaControls::start(const std::string&, const std::string&, const std::string&, Handler handler) {
  stop();
  Impl& d = *impl_;
  d.hwnd = programWindow();
  if (!d.hwnd || FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&d.taskbar))))
    return false;
  if (FAILED(d.taskbar->HrInit())) {
    stop();
    return false;
  }
  d.handler = std::move(handler);
  for (int g = 0; g < kGlyphCount; ++g) d.glyphs[g] = makeGlyph(static_cast<Glyph>(g));
  Impl* self = impl_.get();
  taskbarHooks().buttonCreated = [self] { self->addButtons(); };
  taskbarHooks().clicked = [self](int id) { self->clicked(id); };
  d.addButtons();
  // Without them (before Windows 8.1, under wine) the task bar button does all.
  d.transport.start(d.hwnd, [self](winrt::TransportButton b) { self->transportPressed(b); });
  return true;
}

void MediaControls::stop() {
  Impl& d = *impl_;
  d.transport.stop();
  if (d.taskbar) {
    taskbarHooks() = TaskbarHooks{};
    if (IsWindow(d.hwnd)) d.taskbar->SetProgressState(d.hwnd, TBPF_NOPROGRESS);
    d.taskbar->Release();
    d.taskbar = nullptr;
  }
  for (HICON& g : d.glyphs) {
    if (g) DestroyIcon(g);
    g = nullptr;
  }
  d.buttonsAdded = false;
  d.progressState = -1;
  d.handler = nullptr;
  d.shown = MediaStatus{};
}

bool MediaControls::running() const { return impl_->taskbar != nullptr; }

void MediaControls::update(const MediaStatus& s) {
  Impl& d = *impl_;
  if (!d.taskbar || !IsWindow(d.hwnd)) return;
  d.transport.update(s);
  bool buttonsChanged = s.state != d.shown.state || s.canGoNext != d.shown.canGoNext ||
                        s.canGoPrevious != d.shown.canGoPrevious || s.canPlay != d.shown.canPlay ||
                        s.canPause != d.shown.canPause;
  d.shown = s;
  if (!d.buttonsAdded) {
    d.addButtons();
  } else if (buttonsChanged) {
    THUMBBUTTON buttons[] = {d.button(kPrevious, s), d.button(kPlayPause, s), d.button(kNext, s)};
    d.taskbar->ThumbBarUpdateButtons(d.hwnd, 3, buttons);
  }
  // Progress for media with a length; live streams and the idle player show none.
  bool progress = s.state != MediaStatus::Stopped && s.lengthUs > 0;
  int state = !progress ? TBPF_NOPROGRESS : s.state == MediaStatus::Paused ? TBPF_PAUSED : TBPF_NORMAL;
  if (state != d.progressState) {
    d.taskbar->SetProgressState(d.hwnd, static_cast<TBPFLAG>(state));
    d.progressState = state;
  }
  if (progress) {
    ULONGLONG length = static_cast<ULONGLONG>(s.lengthUs / 1000);
    ULONGLONG at = static_cast<ULONGLONG>(std::max<int64_t>(0, std::min(s.positionUs, s.lengthUs)) / 1000);
    d.taskbar->SetProgressValue(d.hwnd, at, length > 0 ? length : 1);
  }
}

std::string runtimeFolder() {
  wchar_t temp[MAX_PATH + 1] = {};
  DWORD n = GetTempPathW(MAX_PATH + 1, temp);
  std::string dir = win::narrow(std::wstring(temp, n));
  while (!dir.empty() && (dir.back() == '\\' || dir.back() == '/')) dir.pop_back();
  dir += "\\vell-player";
  makeDirectories(dir);
  return dir;
}

}  // namespace vell
