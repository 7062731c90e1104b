// Times the saved-state files and the subtitle parsers at realistic and large sizes.
// Run by hand: build/test/bench/state_files [DIR] (DIR defaults to /tmp).
#include <chrono>
#include <cstdio>
#include <string>

#include "history/PodcastHistory.h"
#include "platform/Files.h"
#include "platform/Text.h"
#include "playlist/Playlist.h"
#include "settings/Settings.h"
#include "subtitles/SubtitleTrack.h"

using namespace vell;

namespace {

template <typename F>
double timeMs(int repeat, F&& f) {
  auto t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < repeat; ++i) f();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count() / repeat;
}

std::string two(int v) { return (v < 10 ? "0" : "") + std::to_string(v); }

std::string srtText(int cues) {
  std::string out;
  for (int i = 0; i < cues; ++i) {
    int s = i * 3;
    out += std::to_string(i + 1) + "\n00:" + two(s / 60 % 60) + ":" + two(s % 60) + ",000 --> 00:" +
           two(s / 60 % 60) + ":" + two(s % 60) + ",900\n<i>자막 줄 " + std::to_string(i) + "</i>\n둘째 줄\n\n";
  }
  return out;
}

std::string samiText(int cues) {
  std::string out = "<SAMI><BODY>\n";
  for (int i = 0; i < cues; ++i) {
    out += "<SYNC Start=" + std::to_string(i * 3000) + "><P Class=KRCC>자막 줄 " + std::to_string(i) + "<br>둘째\n";
    out += "<SYNC Start=" + std::to_string(i * 3000 + 2500) + "><P Class=KRCC>&nbsp;\n";
  }
  return out + "</BODY></SAMI>\n";
}

}  // namespace

int main(int argc, char** argv) {
  std::string dir = argc > 1 ? argv[1] : "/tmp";
  std::string base = dir + "/vell-bench-state";
  makeDirectories(base);

  Settings s;
  for (int i = 0; i < 15; ++i) s.addRecent("/home/사용자/비디오/영화 " + std::to_string(i) + ".mkv");
  std::string sp = base + "/vell_player.ini";
  printf("settings save            %8.3f ms\n", timeMs(20, [&] { s.save(sp); }));
  printf("settings load            %8.3f ms\n", timeMs(200, [&] { Settings r; r.load(sp); }));

  PodcastHistory h;
  for (int i = 0; i < 250; ++i) h.update("https://pod.example/episodes/" + std::to_string(i) + ".mp3", 100 + i, 3600);
  std::string hp = base + "/podcast_history.ini";
  printf("history save (250)       %8.3f ms\n", timeMs(20, [&] { h.save(hp); }));
  printf("history serialize (250)  %8.3f ms\n", timeMs(200, [&] { h.serialize(); }));
  printf("history load (250->200)  %8.3f ms\n", timeMs(200, [&] { PodcastHistory r; r.load(hp); }));
  printf("history progress lookup  %8.5f ms\n", timeMs(100000, [&] { h.progress("https://pod.example/episodes/7.mp3"); }));

  for (int n : {1000, 10000}) {
    Playlist p;
    for (int i = 0; i < n; ++i) {
      if (i % 3 == 0)
        p.addStream("http://radio/" + std::to_string(i), "방송 " + std::to_string(i), "카테고리 " + std::to_string(i % 40));
      else
        p.addFile("/음악/앨범/" + std::to_string(i) + " 노래.mp3");
    }
    std::string pp = base + "/playlist.dat";
    printf("playlist %5d save       %8.3f ms\n", n, timeMs(10, [&] { p.save(pp); }));
    printf("playlist %5d load       %8.3f ms\n", n, timeMs(20, [&] { Playlist r; r.load(pp); }));
    printf("playlist %5d buildRows  %8.3f ms\n", n, timeMs(100, [&] { p.buildRows(); }));
  }

  std::string srt = srtText(2000), sami = samiText(2000), samiCp;
  utf8ToCp949(sami, samiCp);
  SubtitleTrack t;
  printf("SRT parse (2000 cues)    %8.3f ms\n", timeMs(20, [&] { t.parseSrt(srt); }));
  printf("SRT textAt               %8.5f ms\n", timeMs(100000, [&] { t.textAt(1234.5); }));
  printf("SAMI decode CP949 (2000) %8.3f ms\n", timeMs(20, [&] { SubtitleTrack::decodeText(samiCp); }));
  printf("SAMI parse (2000 cues)   %8.3f ms\n", timeMs(20, [&] { t.parseSami(sami); }));
  return 0;
}
