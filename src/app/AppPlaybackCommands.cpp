// Playback commands: A-B repeat, the sleep timer, speed, volume and screenshots.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "app/App.h"
#include "app/Menus.h"
#include "platform/Clock.h"
#include "platform/Desktop.h"
#include "platform/Files.h"
#include "platform/Text.h"
#include "settings/Settings.h"

namespace vell {

namespace {

void put16(std::string& out, uint16_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>(v >> 8));
}

void put32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// "챕터 2/5: Title", or "챕터 2/5" for one without a title.
std::string chapterToast(const std::vector<Chapter>& chapters, int index) {
  std::string text = formatText("챕터 %d/%d", index + 1, static_cast<int>(chapters.size()));
  const std::string& title = chapters[static_cast<size_t>(index)].title;
  return title.empty() ? text : text + ": " + title;
}

}  // namespace

void App::setPointA() {
  if (ab.pointA < 0) {
    ab.pointA = player.position();
    showToast("A 지점: " + formatClock(ab.pointA), 1500);
  } else {
    ab.pointA = -1;
    showToast("A 지점 해제", 1500);
  }
}

void App::setPointB() {
  ab.pointB = player.position();
  if (ab.pointA < 0) ab.pointA = 0;
  showToast("구간 반복: " + formatClock(ab.pointA) + " ~ " + formatClock(ab.pointB), 1500);
}

void App::clearAB() {
  ab.pointA = ab.pointB = -1;
  ab.jumpLatch = false;
  showToast("구간 반복 해제", 1500);
}

void App::abTick() {
  if (connection.active.load() || !(ab.pointA >= 0 && ab.pointA < ab.pointB) || player.state() != Player::Playing) return;
  double p = player.position();
  uint32_t now = tickCount();
  if (!ab.jumpLatch) {
    if (p >= ab.pointB) {
      // One jump per pass: the latch holds until the position is back before B.
      ab.jumpLatch = true;
      ab.jumpTick = now;
      player.seekTo(ab.pointA);
    }
  } else if (p < ab.pointB - 0.05 || now - ab.jumpTick > 500) {
    ab.jumpLatch = false;
  }
}

void App::setSleepTimer(int minutes) {
  if (minutes > 0) {
    sleepDeadline = tickCount() + static_cast<uint32_t>(minutes) * 60000u;
    if (sleepDeadline == 0) sleepDeadline = 1;  // 0 means off
    showToast(formatText("슬립 타이머: %d분 후 정지", minutes), 1500);
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
  // The film's own size, also when it is shown (and converted) smaller; turned and with
  // square pixels, as it is shown.
  VideoFrame whole;
  std::vector<uint32_t> pixels;
  int w = 0, h = 0;
  if (!shownPicture(frameSlot.convertWhole(whole) ? whole : frameSlot, turn.rotation, turn.flipH, turn.flipV, pixels, w,
                    h)) {
    showToast("스크린샷 저장 실패", 1500);
    return false;
  }
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
  bmp.append(reinterpret_cast<const char*>(pixels.data()), pixelBytes);  // BGRA bytes, as the file wants them
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

void App::chooseAudioTrack(int index) {
  std::vector<AudioTrack> tracks = player.audioTracks();
  if (tracks.empty()) {
    showToast("오디오 트랙 없음", 1200);
    return;
  }
  if (index < 0 || index >= static_cast<int>(tracks.size())) return;
  player.selectAudioTrack(index);
  const AudioTrack& t = tracks[index];
  if (!medium.historyKey.empty()) {
    history.setAudioTrack(medium.historyKey, t.stream, t.language);
    recordHistory(false);
  }
  showToast(formatText("오디오: %d/%d ", index + 1, static_cast<int>(tracks.size())) + audioTrackName(t), 1500);
}

void App::nextAudioTrack() {
  const int count = static_cast<int>(player.audioTracks().size());
  chooseAudioTrack(count > 0 ? (player.currentAudioTrack() + 1) % count : 0);
}

void App::goToChapter(int index) {
  ChapterList chapters = player.chapters();
  if (!chapters || index < 0 || index >= static_cast<int>(chapters->size()) || busyConnecting()) return;
  player.seekTo((*chapters)[static_cast<size_t>(index)].start);
  showToast(chapterToast(*chapters, index), 1500);
}

bool App::stepChapter(bool forward) {
  ChapterList chapters = player.chapters();
  if (!chapters) return false;
  if (busyConnecting()) return true;
  // From where a seek just asked for is going, so that quick presses walk on from it.
  const ChapterStep step = chapterStep(*chapters, player.destination(), forward);
  if (step.index < 0) return true;
  if (step.seek) player.seekTo((*chapters)[static_cast<size_t>(step.index)].start);
  showToast(chapterToast(*chapters, step.index), 1500);
  return true;
}

void App::toggleMute() { player.setMuted(!player.muted()); }

void App::changeVolume(float delta) { player.setVolume(player.volume() + delta); }

}  // namespace vell
