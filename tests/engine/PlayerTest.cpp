// The player as the window drives it: playing to the end, seeks, speed, pause, stop and close.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <utility>

#include "platform/Text.h"
#include "support/DiskAudio.h"
#include "support/EngineFixtures.h"
#include "support/HttpServer.h"
#include "support/Media.h"
#include "support/SoundServer.h"

namespace vell {
namespace {

using test::nextFrame;
using test::PlayerRun;
using test::toneFrequency;
using test::waitMs;

// Every device of this program plays into a raw float file that the tests analyse.
[[maybe_unused]] ::testing::Environment* const kDiskAudio = test::addDiskAudioEnvironment("/dev/null");

constexpr int kRate = 48000;

// Each medium plays to its end: pictures shown when due on the clock less the offset (those
// held back by it still come due after the last sound), the clock on the sound heard, and one
// end once picture and sound have both played out, the position then resting at the duration.
TEST(Player, PlaysEachMediumToItsEnd) {
  std::string withSound = test::h264AacMp4(2.0, 160, 120, 30);
  struct Row {
    const char* name;
    std::string path;
    int offsetMs;
    double duration;
    int frames;
    double lastPts;  // the last picture stays in the slot
    bool ringFills;  // the reader is not held back by the picture queue for the whole length
  } rows[] = {
      {"picture only", test::makeMedia("-f lavfi -i testsrc2=size=160x120:rate=30:duration=2 -c:v libx264 -preset ultrafast -g 30", "mp4"),
       0, 2.0, 60, 59 / 30.0, true},
      {"with sound", withSound, 0, 2.0, 60, 59 / 30.0, false},
      {"offset", withSound, 300, 2.0, 60, 59 / 30.0, false},
      {"sound outlasts the picture",
       test::makeMedia("-f lavfi -i testsrc2=size=64x48:rate=20:duration=0.5 -f lavfi -i "
                       "sine=frequency=440:sample_rate=48000:duration=2 -c:v libx264 -preset ultrafast -c:a aac", "mp4"),
       0, 2.0, 10, 0.45, true},
      {"sound only", test::sineMp3(3.0), 0, 3.0, 0, 0.0, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    test::LogCapture log;
    PlayerRun r;
    Player& p = r.player;
    ASSERT_TRUE(p.openFile(row.path));
    p.adjustSyncOffset(row.offsetMs);
    p.play();
    EXPECT_TRUE(p.position() == 0.0 || !p.hasAudio());  // the clock waits for the device
    int shown = 0, early = 0, late = 0, timed = 0;
    double lagSum = 0;
    std::vector<double> clockErrors;
    uint32_t elapsed = r.paint(8000, true, [&](bool taken) {
      double heard = p.audioOutput().heardSeconds();
      if (heard > 0.3 && p.audioOutput().ringFill() > 0) clockErrors.push_back(std::fabs(p.position() - heard));
      if (!taken) return;
      double t = p.position() - p.syncOffsetMs() * 0.001;
      ++shown;
      // The read-out stops at the duration; pictures held back by an offset come after it.
      const bool running = p.position() < p.duration();
      early += r.slot.pts > t + 0.018 && running;
      late += r.slot.pts < t - 0.17;
      if (running) {
        lagSum += t - r.slot.pts;
        ++timed;
      }
    });
    EXPECT_EQ(r.ended.load(), 1);
    EXPECT_GE(elapsed, static_cast<uint32_t>(row.duration * 1000 - 50));  // the tail was heard
    // Without an offset the clock follows the sound heard (a loaded machine may delay a tick now and then).
    std::nth_element(clockErrors.begin(), clockErrors.begin() + clockErrors.size() / 2, clockErrors.end());
    EXPECT_TRUE(clockErrors.empty() || row.offsetMs != 0 || clockErrors[clockErrors.size() / 2] < 0.03);
    EXPECT_EQ(early, 0);
    EXPECT_EQ(late, 0);
    EXPECT_GE(shown, row.frames * 5 / 6);  // a paint may skip one now and then
    EXPECT_NEAR(timed ? lagSum / timed : 0.0, 0.0, 0.03);
    EXPECT_NEAR(r.slot.pts, row.lastPts, 0.001);
    EXPECT_EQ(p.queuedFrames(), 0u);
    waitMs(600);
    EXPECT_TRUE(p.ended());
    EXPECT_LE(p.position(), p.duration());
    EXPECT_GE(p.position(), row.duration - 0.25);
    // A local file is never short of data, at its start or its end.
    EXPECT_TRUE(!row.ringFills || log.count("Buffer low") == 0);
    if (!p.hasVideo()) {  // a speed change after the end keeps no seek to it: play starts again from the top
      r.ended = 0;
      p.setSpeed(2.0);
      p.play();
      EXPECT_NEAR(r.paint(4000), 1500, 300);
    }
  }
}

// Speed changes the pitch. The ring holds up to 30 s decoded at the old speed: playing on
// from its head would jump, so a speed change goes on from the heard position.
TEST(Player, SpeedChangeGoesOnFromTheHeardPosition) {
  test::DiskRun run;
  PlayerRun r;
  ASSERT_TRUE(r.player.openFile(
      test::makeMedia("-f lavfi -i sine=frequency=440:sample_rate=22050:duration=60 -ac 1 -c:a pcm_s16le", "wav")));
  r.player.play();
  r.paint(1200);
  double before = r.player.position();
  ASSERT_GT(before, 0.5);
  r.player.setSpeed(2.0);
  double highest = 0;
  r.paint(1200, false, [&](bool) { highest = std::max(highest, r.player.position()); });
  // 1.2 s at twice the speed, with room for the restart; never the 30 s the ring held.
  EXPECT_GT(highest, before + 1.0);
  EXPECT_LT(highest, before + 3.2);

  // While paused the position stays where it was heard.
  r.player.pause();
  double paused = r.player.position();
  r.player.setSpeed(1.0);
  waitMs(100);
  EXPECT_NEAR(r.player.position(), paused, 1e-9);
  r.player.togglePause();
  EXPECT_EQ(r.player.state(), Player::Playing);
  r.player.close();
  std::vector<float> pcm = run.samples();
  size_t start = nextFrame(pcm, 0, true) + kRate / 10, end = pcm.size() / 2;  // past the fade-in
  while (end > start && std::fabs(pcm[2 * (end - 1)]) < 0.01f) --end;        // before the pause
  ASSERT_GT(end, start + kRate);
  EXPECT_NEAR(toneFrequency(pcm, start, start + kRate / 2), 440.0, 2.0);
  EXPECT_NEAR(toneFrequency(pcm, end - kRate / 2, end), 880.0, 4.0);
}

// A seek goes on with the tone of the target second; after a stop, play starts from the top.
TEST(Player, SeekAndStopThenPlay) {
  // 300 Hz in second 0, 500 Hz in second 1, ... 1100 Hz in second 4.
  std::string steps =
      test::makeMedia("-f lavfi -i aevalsrc='0.5*sin(2*PI*(300+200*floor(t))*t)':s=48000:d=5 -ac 2 -c:a pcm_s16le", "wav");
  for (bool stop : {false, true}) {
    SCOPED_TRACE(stop ? "stop" : "seek");
    test::DiskRun run;
    PlayerRun r;
    Player& p = r.player;
    ASSERT_TRUE(p.openFile(steps));
    p.play();
    r.paint(300, false);
    p.seekTo(3.2);
    if (stop) {
      r.paint(300, false);
      p.stop();
      EXPECT_EQ(p.position(), 0.0);
      p.play();
    }
    r.paint(700, false);
    EXPECT_TRUE(stop || std::fabs(p.position() - (3.2 + 0.7 - 0.1)) < 0.25) << p.position();
    p.close();
    std::vector<float> pcm = run.samples();
    size_t frames = pcm.size() / 2;
    ASSERT_GT(frames, static_cast<size_t>(kRate / 2));
    EXPECT_NEAR(toneFrequency(pcm, frames - kRate / 4, frames), stop ? 300.0 : 900.0, 3.0);
  }
}

// Two languages, each a rising tone whose pitch tells the media time: Korean 300 + 100 t Hz
// (AAC, stereo), English 2000 + 100 t Hz (FLAC, mono), the English one marked default. The
// file starts in English; the switch to Korean is heard within half a second, from the same
// media time, while the clock and the pictures run on without a jump.
TEST(Player, AudioTracksAreListedChosenAndSwitchedInPlace) {
  std::string path = test::makeMedia(
      "-f lavfi -i testsrc2=size=64x48:rate=25:duration=8 "
      "-f lavfi -i aevalsrc='0.5*sin(2*PI*(300*t+50*t*t))':s=48000:d=8 "
      "-f lavfi -i aevalsrc='0.5*sin(2*PI*(2000*t+50*t*t))':s=48000:d=8 "
      "-map 0:v -map 1:a -map 2:a -c:v libx264 -preset ultrafast -g 25 -c:a:0 aac -ac:a:0 2 -c:a:1 flac -ac:a:1 1 "
      "-metadata:s:a:0 language=kor -metadata:s:a:1 language=eng -disposition:a:0 0 -disposition:a:1 default",
      "mkv");
  test::DiskRun run;
  PlayerRun r;
  Player& p = r.player;
  ASSERT_TRUE(p.openFile(path));
  std::vector<AudioTrack> tracks = p.audioTracks();
  ASSERT_EQ(tracks.size(), 2u);
  std::string listed;
  for (const AudioTrack& t : tracks) listed += t.language + " " + t.codec + std::to_string(t.channels) + t.layout + " ";
  EXPECT_EQ(listed, "kor aac2stereo eng flac1mono ");
  EXPECT_EQ(p.currentAudioTrack(), 1);  // the marked one, before the Korean one
  p.play();
  r.paint(2000, false);
  const double before = p.position();
  ASSERT_TRUE(p.selectAudioTrack(0));
  EXPECT_EQ(p.currentAudioTrack(), 0);
  double last = before, clockStep = 0, pts = r.slot.pts, ptsStep = 0, ptsBack = 0;
  r.paint(2000, false, [&](bool shown) {
    clockStep = std::max(clockStep, std::fabs(p.position() - last));
    last = p.position();
    if (!shown) return;
    ptsStep = std::max(ptsStep, r.slot.pts - pts);
    ptsBack = std::max(ptsBack, pts - r.slot.pts);
    pts = r.slot.pts;
  });
  EXPECT_TRUE(p.selectAudioTrack(0));  // the current one: nothing happens
  r.paint(300, false);
  EXPECT_LT(clockStep, 0.1);
  EXPECT_NEAR(p.position(), before + 2.3, 0.25);
  EXPECT_LT(ptsStep, 0.25);  // a paint may miss a picture now and then, never a second of them
  EXPECT_EQ(ptsBack, 0.0);
  const double atClose = p.position();
  p.close();

  // 20 ms windows every 10 ms: the last English one, the first Korean one after it.
  std::vector<float> pcm = run.samples();
  const size_t frames = pcm.size() / 2, window = kRate / 50;
  long long lastEnglish = -1, firstKorean = -1, lastKorean = -1;
  std::vector<long long> silentKorean;  // windows without either tone after the switch
  double english = 0, korean = 0, koreanEnd = 0;
  for (size_t f = 0; f + window <= frames; f += window / 2) {
    double hz = toneFrequency(pcm, f, f + window);
    if (hz > 1950 && hz < 2900) {
      lastEnglish = static_cast<long long>(f);
      english = (hz - 2000) / 100;
    } else if (hz > 250 && hz < 1200 && lastEnglish >= 0) {
      if (firstKorean < 0) {
        firstKorean = static_cast<long long>(f);
        korean = (hz - 300) / 100;
      }
      lastKorean = static_cast<long long>(f);
      koreanEnd = (hz - 300) / 100;
    } else if (firstKorean >= 0) {
      silentKorean.push_back(static_cast<long long>(f));
    }
  }
  ASSERT_GE(lastEnglish, 0);
  ASSERT_GT(firstKorean, lastEnglish);
  const double gap = static_cast<double>(firstKorean - lastEnglish) / kRate;
  EXPECT_NEAR(english, before, 0.25);        // the old track stopped at the switch
  EXPECT_LT(gap, 0.5);                       // the new one was heard soon after
  EXPECT_NEAR(korean, english + gap, 0.1);   // from the same media time
  EXPECT_NEAR(koreanEnd, atClose, 0.25);     // and the clock stayed on it
  EXPECT_LE(std::count_if(silentKorean.begin(), silentKorean.end(), [&](long long f) { return f < lastKorean; }), 1)
      << "dropouts after the switch";
}

// Which track plays first, and which a remembered choice names once the file is back.
TEST(Player, AudioTrackChoiceRules) {
  auto track = [](int stream, const char* language, bool isDefault = false) {
    AudioTrack t;
    t.stream = stream;
    t.language = language;
    t.isDefault = isDefault;
    return t;
  };
  struct Row {
    std::vector<AudioTrack> tracks;
    int first;
    int rememberedStream;
    const char* rememberedLanguage;
    int remembered;
  } rows[] = {
      {{}, -1, 1, "eng", -1},
      {{track(1, "eng"), track(2, "jpn")}, 0, 2, "jpn", 1},
      {{track(1, "eng"), track(2, "ko"), track(3, "kor")}, 1, 3, "", 2},
      {{track(1, "kor"), track(2, "eng", true)}, 1, 5, "kor", 0},         // the stream is gone: its language
      {{track(1, "jpn"), track(2, "eng"), track(4, "eng")}, 0, 1, "eng", 1},  // stream 1 is no longer English
      {{track(1, "jpn")}, 0, 7, "fre", -1},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(defaultAudioTrack(row.tracks), row.first);
    EXPECT_EQ(rememberedAudioTrack(row.tracks, row.rememberedStream, row.rememberedLanguage), row.remembered);
  }
}

// Subtitle streams are listed; one chosen while playing shows the line due at once (from what was
// read of it lately, though its packet went by before the choice), again after a seek back; none
// shows nothing.
TEST(Player, SubtitleStreamsAreListedAndChosenWhilePlaying) {
  const std::string eng = test::mediaInput("eng.srt", "1\n00:00:00,200 --> 00:00:03,800\nhello\n");
  const std::string kor =
      test::mediaInput("kor.srt", "1\n00:00:00,200 --> 00:00:01,000\n처음\n\n2\n00:00:01,000 --> 00:00:03,800\n안녕\n");
  const std::string path = test::makeMedia(
      "-f lavfi -i testsrc2=size=64x48:rate=25:duration=4 -i '" + eng + "' -i '" + kor +
          "' -map 0 -map 1 -map 2 -c:v libx264 -preset ultrafast -c:s srt -metadata:s:s:0 language=eng "
          "-metadata:s:s:1 language=kor -metadata:s:s:1 title=대사 -disposition:s 0",
      "mkv");
  PlayerRun r;
  Player& p = r.player;
  ASSERT_TRUE(p.openFile(path));
  const std::vector<SubtitleStream> streams = p.subtitleStreams();
  ASSERT_EQ(streams.size(), 2u);
  EXPECT_EQ(std::tuple(streams[0].stream, streams[0].language, streams[0].codec), std::tuple(1, "eng", "subrip"));
  EXPECT_EQ(std::tuple(streams[1].stream, streams[1].language, streams[1].title), std::tuple(2, "kor", "대사"));
  EXPECT_EQ(p.currentSubtitleStream(), 2);  // none marked: the Korean one
  ASSERT_TRUE(p.selectSubtitleStream(1));
  p.play();
  auto shows = [&](const char* text) {
    return test::waitFor([&] { return p.subtitleFrameAt(p.position()).text == text; }, 3000);
  };
  EXPECT_TRUE(shows("hello"));
  r.paint(1500, false);
  ASSERT_GT(p.position(), 1.2);
  ASSERT_TRUE(p.selectSubtitleStream(2));
  EXPECT_TRUE(shows("안녕"));
  p.seekTo(0.5);
  EXPECT_TRUE(shows("처음"));
  ASSERT_TRUE(p.selectSubtitleStream(-1));
  EXPECT_TRUE(shows(""));
  EXPECT_FALSE(p.selectSubtitleStream(0));  // the picture is no subtitle stream
  p.close();
}

TEST(Player, SeekRequestsAreClampedAndRelativeSeeksAccumulate) {
  Player player;
  player.togglePause();  // nothing open: nothing happens
  player.play();
  EXPECT_EQ(player.state(), Player::Stopped);
  ASSERT_TRUE(player.openFile(test::sineMp3(3.0)));
  player.seekBy(1.0);
  player.seekBy(1.0);
  EXPECT_NEAR(player.position(), 2.0, 1e-9);  // the held target, not the lagging clock
  player.seekBy(10.0);
  EXPECT_NEAR(player.position(), player.duration(), 1e-9);
  player.seekTo(-4);
  player.seekBy(0.5);
  EXPECT_NEAR(player.position(), 0.5, 1e-9);
}

// The rows of a picture's pixels, without the padding at their ends.
std::vector<uint8_t> rowsOf(const VideoFrame& f) {
  std::vector<uint8_t> out;
  for (int y = 0; y < f.height; ++y)
    out.insert(out.end(), f.data[0] + static_cast<size_t>(y) * f.linesize[0],
               f.data[0] + static_cast<size_t>(y) * f.linesize[0] + f.width * 4);
  return out;
}

TEST(Player, FramesBeforeASeekTargetAreNeverShown) {
  // Without and with B-frames: what a seek skips to reach its target never changes the
  // picture shown there, which is the one a decode from the start gives.
  for (const char* preset : {"ultrafast", "veryfast"}) {
    SCOPED_TRACE(preset);
    std::string media = test::makeMedia(
        std::string("-f lavfi -i testsrc2=size=160x120:rate=25:duration=4 -c:v libx264 -g 50 -preset ") + preset, "mp4");
    PlayerRun r;
    std::atomic<int> seekPictures{0};  // the window is told once, when the target's picture is ready
    r.player.onSeekPicture = [&] { ++seekPictures; };
    ASSERT_TRUE(r.player.openFile(media));
    r.player.play();
    waitMs(100);
    r.player.seekTo(3.0);  // key frames every 2 s: decoding restarts at 2.0
    int shown = 0;
    VideoFrame first;
    // The position of the tick before: read before this tick's take (a picture taken just
    // before the seek ran may be converted while the seek moves the clock).
    double before = 0;
    r.paint(700, false, [&](bool taken) {
      const double at = std::exchange(before, r.player.position());
      if (!taken || at <= 2.9) return;
      ++shown;
      EXPECT_GE(r.slot.pts, 2.95);
      if (!first.hasPixels()) {
        std::swap(first, r.slot);
      }
    });
    EXPECT_GT(shown, 5);
    EXPECT_EQ(seekPictures.load(), 1);
    ASSERT_TRUE(first.hasPixels());
    MediaSource source;
    ASSERT_TRUE(source.openLocal(media));
    VideoDecoder straight;
    ASSERT_TRUE(straight.open(source.videoStreamParameters(), false));
    VideoFrame expected;
    test::decodeAll(source, &straight, nullptr, &expected, first.pts);
    EXPECT_TRUE(expected.hasPixels() && rowsOf(first) == rowsOf(expected)) << first.pts;
  }
}

TEST(Player, LateFramesAreDroppedButOneIsAlwaysShown) {
  Player player;
  ASSERT_TRUE(player.openFile(test::makeMedia(
      "-f lavfi -i testsrc2=size=160x120:rate=25:duration=2 -c:v libx264 -preset ultrafast", "mp4")));
  player.play();
  // No paints: the queue fills with frames that fall behind the clock. A slow first decode
  // (a failed hardware decoder under load) starts the clock late, so wait for both.
  ASSERT_TRUE(test::waitFor([&] {
    return player.queuedFrames() == Player::kQueuedFrames && player.position() > Player::kQueuedFrames / 25.0;
  }, 5000));
  player.pause();
  waitMs(50);
  ASSERT_EQ(player.queuedFrames(), static_cast<size_t>(Player::kQueuedFrames));
  VideoFrame slot;
  ASSERT_TRUE(player.takeFrame(slot));
  EXPECT_NEAR(slot.pts, (Player::kQueuedFrames - 1) / 25.0, 1e-6);  // all were late: the newest is shown
  // The others were dropped (the playback thread may already be queueing the next one).
  EXPECT_EQ(player.droppedFrames(), static_cast<uint64_t>(Player::kQueuedFrames - 1));
}

// Pictures the machine cannot get through in time (here: a window that takes none) give way,
// never the sound: it plays whole and at the tone's own level, window by window.
TEST(Player, SoundKeepsItsLevelWhenPicturesCannotKeepUp) {
  const std::string film = test::makeMedia(
      "-f lavfi -i testsrc2=size=160x120:rate=120:duration=6 -f lavfi -i sine=frequency=440:sample_rate=48000:duration=6 "
      "-c:v libx264 -preset ultrafast -g 60 -pix_fmt yuv420p -c:a aac -b:a 128k",
      "mp4");
  test::DiskRun run;
  Player player;
  ASSERT_TRUE(player.openFile(film));
  player.play();
  for (uint32_t start = tickCount(); tickCount() - start < 6300;) {
    player.syncTick();
    waitMs(16);
  }
  player.close();
  EXPECT_GT(player.droppedFrames(), 0u);
  std::vector<float> pcm = run.samples();
  const size_t begin = test::nextFrame(pcm, 0, true), window = kRate / 10;
  ASSERT_GT(pcm.size() / 2, begin + 56 * window);
  for (size_t f = begin + window, i = 0; f < begin + 55 * window; f += window, ++i) {  // past the fade-in
    double sum = 0;
    for (size_t k = f; k < f + window; ++k) sum += double(pcm[2 * k]) * pcm[2 * k];
    // The tone's level: 1/8 peak, its one channel spread over two.
    EXPECT_NEAR(10 * std::log10(sum / window + 1e-20), 20 * std::log10(0.125 / 2), 1.0) << "window " << i;
  }
}

// Control from the window and from a connection thread at once must not tear the player.
TEST(Player, ControlFromTwoThreadsIsSafe) {
  std::string path = test::sineMp3(1.0);
  Player player;
  ASSERT_TRUE(player.openFile(path));
  std::atomic<bool> done{false};
  std::thread connection([&] {
    for (int i = 0; i < 6; ++i) {
      player.close();
      player.openFile(path);
    }
    done = true;
  });
  while (!done.load()) {
    player.togglePause();
    player.setSpeed(1.5);
    player.stop();
    player.play();
    waitMs(5);
  }
  connection.join();
  player.close();
  EXPECT_EQ(player.state(), Player::Stopped);
}

// Stop and close end the playback thread at once wherever it waits: for the tail of the sound
// to play (one second of it is in the ring at once), for room in a full ring (45 s is longer than
// the 30-second ring) or inside a read from a server that went silent. Neither they nor an open
// over what plays is ever reported as the end.
TEST(Player, StopCloseAndReopenEndTheThreadAtOnceAndAreNeverTheEnd) {
  const std::string tail = test::sineMp3(1.0);
  const std::string full = test::makeMedia("-f lavfi -i sine=duration=45 -ac 1 -c:a libmp3lame -b:a 32k", "mp3");
  std::string mp3 = test::mediaBytes(test::sineMp3(3.0));
  test::HttpServer server([&](const test::HttpRequest&, test::HttpConnection& c) {
    c.send("HTTP/1.1 200 OK\r\nContent-Type: audio/mpeg\r\n\r\n" + mp3.substr(0, 30000));
    c.wait(30000);
  });
  const char* waits[] = {"the tail", "room", "a silent server"}, *actions[] = {"stop", "close", "open"};
  for (int w = 0; w < 3; ++w) {
    for (int action = 0; action < 3; ++action) {
      SCOPED_TRACE(std::string(actions[action]) + " while waiting for " + waits[w]);
      PlayerRun r;
      Player& player = r.player;
      ASSERT_TRUE(w == 2 ? player.openUrl(server.url("/stream"), false) : player.openFile(w == 0 ? tail : full));
      player.play();
      AudioOutput& out = player.audioOutput();
      if (w == 1)
        ASSERT_TRUE(test::waitFor([&] { return out.ringFill() + 48000 * 2 >= out.ringCapacity(); }, 3000));
      else
        waitMs(w == 2 ? 600 : 400);  // from the server, the data runs out: the thread waits inside a read
      uint32_t t0 = tickCount();
      if (action == 2) {
        player.openFile(tail);
      } else {
        action == 0 ? player.stop() : player.close();
        EXPECT_LT(tickCount() - t0, 500u);
        EXPECT_EQ(player.state(), Player::Stopped);
      }
      waitMs(300);
      EXPECT_EQ(r.ended.load(), 0);
      EXPECT_FALSE(player.ended());
    }
  }
}

// The sound server is killed under a playing file and started again (under wine the
// program's streams on its sink are killed: the WASAPI device is lost): the player keeps
// trying and is heard again within seconds, from where the sound stopped, its stream named
// after the file with the role "music" where the driver names streams.
TEST(Player, SoundComesBackAfterTheSoundServerRestarts) {
  test::SoundServer server;
  if (!server.unavailable().empty()) GTEST_SKIP() << server.unavailable();
  ASSERT_TRUE(server.playHere());
  PlayerRun run;
  std::string file = test::sineMp3(30.0, 440);
  ASSERT_TRUE(run.player.openFile(file));
  run.player.play();
  auto paintUntilStream = [&](int ms) {
    uint32_t t0 = tickCount();
    while (server.streams() == 0 && tickCount() - t0 < static_cast<uint32_t>(ms)) run.paint(50, false);
    return tickCount() - t0;
  };
  ASSERT_LT(paintUntilStream(3000), 3000u);
  run.paint(1000, false);
  server.kill();
  EXPECT_EQ(server.streams(), 0);  // nothing plays again before the player notices
  run.paint(1500, false);  // the first attempts fail while the server is away
  double held = run.player.position();
  ASSERT_TRUE(server.start());
  EXPECT_LT(paintUntilStream(6000), 4000u);
  run.paint(300, false);
  std::vector<float> pcm = server.record(1.0);
  EXPECT_NEAR(test::toneFrequency(pcm, 0, pcm.size() / 2), 440.0, 5.0);
  EXPECT_NEAR(run.player.position(), held, 2.0);
  if (!server.namesStreams()) return;
  std::string props = server.streamProperties();
  EXPECT_NE(props.find("application.name = \"Vell Player\""), std::string::npos) << props;
  EXPECT_NE(props.find("media.role = \"music\""), std::string::npos) << props;
  EXPECT_NE(props.find("media.name = \"" + displayName(file) + "\""), std::string::npos) << props;
}

}  // namespace
}  // namespace vell
