#include "platform/MediaControls.h"

#include <windows.h>
#include <shobjidl.h>

#include <algorithm>
#include <cmath>
#include <cwchar>

#include "platform/Files.h"
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
  return true;
}

void MediaControls::stop() {
  Impl& d = *impl_;
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
