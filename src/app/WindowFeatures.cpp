// View and convenience features: full screen, compact view, always on top, size presets,
// opacity, rotation and flips, A-B repeat, the sleep timer and screenshots.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "app/App.h"
#include "platform/Clock.h"
#include "platform/Desktop.h"
#include "platform/Files.h"
#include "platform/Text.h"
#include "settings/Settings.h"
#include "subtitles/SubtitleState.h"

namespace vell {

namespace {

std::string formatted(const char* fmt, int value) {
  char buffer[96];
  std::snprintf(buffer, sizeof buffer, fmt, value);
  return buffer;
}

void put16(std::string& out, uint16_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>(v >> 8));
}

void put32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

}  // namespace

void App::toggleFullscreen() {
  closeInputDialog();
  fullscreen = !fullscreen;
  if (fullscreen) {
    window.position(restoreRect.x, restoreRect.y);
    window.size(restoreRect.w, restoreRect.h);
    window.setFullscreen(true);
  } else {
    window.setPosition(restoreRect.x, restoreRect.y);
    window.setSize(restoreRect.w, restoreRect.h);
    window.showCursor(true);
  }
}

void App::toggleCompactView() {
  compactView = !compactView;
  settings().compactView = compactView;
  // The hidden browser takes no typing: an input method would otherwise keep the shortcut keys.
  if (browserOpen && !inputOpen) {
    if (compactView)
      window.stopTextInput();
    else
      window.startTextInput();
  }
}

void App::toggleAlwaysOnTop() {
  alwaysOnTop = !alwaysOnTop;
  window.setAlwaysOnTop(alwaysOnTop);
  showToast(alwaysOnTop ? "항상 위 ON" : "항상 위 OFF", 1500);
}

void App::setWindowScale(double scale) {
  if (fullscreen) return;
  int baseW = 800, baseH = 450;
  if (player.hasVideo()) {
    MediaInfo info = player.source().info();
    baseW = info.width >= 1 ? info.width : 800;
    baseH = info.height >= 1 ? info.height : 450;
  }
  // The picture in pixels, the bars around it in layout units.
  window.setSize(static_cast<int>(baseW * scale), static_cast<int>(baseH * scale) + toPixels(112));
}

void App::setOpacity(float value, bool withMessage) {
  settings().opacity = value;
  window.setOpacity(value >= 1.0f ? 1.0f : value);
  if (withMessage) showToast(formatted("투명도: %d%%", static_cast<int>(value * 100)), 1500);
}

void App::rotateBy(int degrees) {
  rotation = ((rotation + degrees) % 360 + 360) % 360;
  showToast(formatted("회전: %d°", rotation), 1500);
}

void App::setRotation(int degrees) {
  rotation = ((degrees % 360) + 360) % 360;
  showToast(formatted("회전: %d°", rotation), 1500);
}

void App::toggleFlipH() {
  flipH = !flipH;
  showToast(flipH ? "좌우 반전 ON" : "좌우 반전 OFF", 1500);
}

void App::toggleFlipV() {
  flipV = !flipV;
  showToast(flipV ? "상하 반전 ON" : "상하 반전 OFF", 1500);
}

void App::setPointA() {
  if (pointA < 0) {
    pointA = player.position();
    showToast("A 지점: " + formatClock(pointA), 1500);
  } else {
    pointA = -1;
    showToast("A 지점 해제", 1500);
  }
}

void App::setPointB() {
  pointB = player.position();
  if (pointA < 0) pointA = 0;
  showToast("구간 반복: " + formatClock(pointA) + " ~ " + formatClock(pointB), 1500);
}

void App::clearAB() {
  pointA = pointB = -1;
  abJumpLatch = false;
  showToast("구간 반복 해제", 1500);
}

void App::abTick() {
  if (connecting.load() || !(pointA >= 0 && pointA < pointB) || player.state() != Player::Playing) return;
  double p = player.position();
  uint32_t now = tickCount();
  if (!abJumpLatch) {
    if (p >= pointB) {
      // One jump per pass: the latch holds until the position is back before B.
      abJumpLatch = true;
      abJumpTick = now;
      player.seekTo(pointA);
    }
  } else if (p < pointB - 0.05 || now - abJumpTick > 500) {
    abJumpLatch = false;
  }
}

void App::setSleepTimer(int minutes) {
  if (minutes > 0) {
    sleepDeadline = tickCount() + static_cast<uint32_t>(minutes) * 60000u;
    if (sleepDeadline == 0) sleepDeadline = 1;  // 0 means off
    showToast(formatted("슬립 타이머: %d분 후 정지", minutes), 1500);
  } else {
    sleepDeadline = 0;
    showToast("슬립 타이머 해제", 1000);
  }
}

int App::sleepMinutesLeft() const {
  if (sleepDeadline == 0) return -1;
  int32_t left = static_cast<int32_t>(sleepDeadline - tickCount());
  if (left <= 0) return 0;
  return left / 60000 + 1;
}

bool App::takeScreenshot() {
  if (!frameSlot.hasPixels()) {
    showToast("캡처할 프레임 없음", 1500);
    return false;
  }
  std::string folder = picturesDirectory();
  makeDirectories(folder);
  LocalTime t = localTimeNow();
  char name[64];
  std::snprintf(name, sizeof name, "VellPlayer_%04d%02d%02d_%02d%02d%02d.bmp", t.year, t.month, t.day, t.hour, t.minute,
                t.second);
  // The film's own size, also when it is shown (and converted) smaller.
  VideoFrame whole;
  const VideoFrame& shot = frameSlot.convertWhole(whole) ? whole : frameSlot;
  const int w = shot.width, h = shot.height;
  const uint32_t pixelBytes = static_cast<uint32_t>(w) * h * 4;
  std::string bmp;
  bmp.reserve(54 + pixelBytes);
  bmp += "BM";
  put32(bmp, pixelBytes + 54);
  put16(bmp, 0);
  put16(bmp, 0);
  put32(bmp, 54);
  put32(bmp, 40);
  put32(bmp, static_cast<uint32_t>(w));
  put32(bmp, static_cast<uint32_t>(-h));  // negative height: rows top-down
  put16(bmp, 1);
  put16(bmp, 32);
  for (int i = 0; i < 6; ++i) put32(bmp, 0);  // BI_RGB, then five zero fields
  for (int row = 0; row < h; ++row)
    bmp.append(reinterpret_cast<const char*>(shot.data[0] + static_cast<size_t>(row) * shot.linesize[0]),
               static_cast<size_t>(w) * 4);
  // The write with its disk flush runs on the writer's thread; the toast follows it.
  bool started = screenshotWriter_.write(folder + "/" + name, std::move(bmp), [this](bool written) {
    postTask([this, written] { showToast(written ? "스크린샷 저장됨" : "스크린샷 저장 실패", 1500); });
  });
  if (!started) showToast("스크린샷 저장 실패", 1500);
  return started;
}

void App::setSpeed(double speed) {
  if (!busyConnecting()) player.setSpeed(speed);
}

void App::toggleMute() { player.setMuted(!player.muted()); }

void App::changeVolume(float delta) { player.setVolume(player.volume() + delta); }


void App::chooseAndOpenFile() {
  if (busyConnecting()) return;
  if (!fileChooserAvailable()) {  // no chooser on this desktop: the path is typed instead
    if (inputOpen) return;
    inputPathUse = 1;
    openInputDialog(true);
    return;
  }
  chooseMediaFile([this](const std::string& path) { openPath(path); });
}

void App::chooseFileForQueue() {
  if (!fileChooserAvailable()) {
    if (inputOpen) return;
    inputPathUse = 3;
    openInputDialog(true);
    return;
  }
  chooseMediaFile([this](const std::string& path) {
    playlist.addFile(path);
    showToast("재생목록에 추가됨", 1000);
  });
}

bool App::chooseMediaFile(std::function<void(const std::string&)> onChosen) {
  FileDialogOptions options;
  options.filters = {
      {"미디어 파일", "*.mp4;*.mkv;*.avi;*.mov;*.wmv;*.flv;*.webm;*.mp3;*.flac;*.wav;*.aac;*.ogg;*.wma;*.m4a;*.opus"},
      {"비디오", "*.mp4;*.mkv;*.avi;*.mov;*.wmv;*.flv;*.webm;*.m4v;*.ts"},
      {"오디오", "*.mp3;*.flac;*.wav;*.aac;*.ogg;*.wma;*.m4a;*.opus"},
      {"모든 파일", "*.*"}};
  return chooseFile(options, std::move(onChosen));
}

void App::chooseSubtitle() {
  FileDialogOptions options;
  options.title = "자막 파일 열기";
  options.filters = {{"자막 파일", "*.srt;*.smi;*.ass;*.ssa"}, {"SRT", "*.srt"}, {"SMI", "*.smi"}, {"모든 파일", "*.*"}};
  if (!currentPath.empty()) options.initialDirectory = parentPath(currentPath);
  if (!fileChooserAvailable()) {
    if (inputOpen) return;
    inputPathUse = 2;
    openInputDialog(true);
    return;
  }
  chooseFile(options, [this](const std::string& path) {
    SubtitleMessage m = subtitles.openFile(path, settings());
    showToast(m.text, m.durationMs);
  });
}

}  // namespace vell
