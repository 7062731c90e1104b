// Tests of subtitles: SRT and SAMI reading, encodings, delay, and the subtitle commands.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "platform/Files.h"
#include "platform/Text.h"
#include "settings/Settings.h"
#include "subtitles/SubtitleChoice.h"
#include "subtitles/SubtitleState.h"
#include "subtitles/SubtitleTrack.h"
#include "support/TempDir.h"

namespace vell {
namespace {

// The cues as "start-end text" lines, so that a whole track is checked at once.
std::string cues(const SubtitleTrack& t) {
  std::string out;
  for (const SubtitleCue& c : t.cues()) {
    char times[64];
    snprintf(times, sizeof times, "%g-%g ", c.start, c.end);
    out += times + c.text + "\n";
  }
  return out;
}

TEST(Subtitles, SrtAndWebVttTimesTagsAndBlocks) {
  const std::pair<const char*, double> times[] = {
      {"00:01:02,5", 62.005},     {" 00:01:03,250 ", 63.25}, {"01:00:00.100", 3600.1},
      {"00:00:04,000 X1:100 X2:200", 4.0}, {"1:2:3", 0.0},  {"garbage", 0.0}, {"00:00:01;500", 0.0},
      {"99999999999:0:0,0", 2147483647.0 * 3600},  // absurd numbers are held, not overflowed
  };
  for (const auto& [text, seconds] : times) EXPECT_DOUBLE_EQ(SubtitleTrack::parseTime(text), seconds) << text;
  EXPECT_EQ(SubtitleTrack::cleanText("<i>안녕</i> <font color=\"red\">world</font>"), "안녕 world");
  EXPECT_EQ(SubtitleTrack::cleanText("a<b"), "a");
  EXPECT_EQ(SubtitleTrack::cleanText("one\\Ntwo\\n x>y"), "one\ntwo\\n x>y");

  SubtitleTrack t;
  std::string srt =
      "\xEF\xBB\xBF"  // a mark at the start is dropped by decoding, not by the parser
      "1\r\n00:00:01,000 --> 00:00:02,500\r\n<i>첫 줄</i>\r\n둘째 줄\r\n\r\n"
      "3\n00:00:10,000 --> 00:00:11,000\n<b></b>\n\n"
      "2\n00:00:05,000 --> 00:00:06,000 X1:1\n정렬됨\n\n"
      "4\nno arrow here\n00:00:20,000 --> 00:00:21,000\nafter junk\n \n"  // a line of one space ends it too
      "6\n00:00:25,000 --> 00:00:26,000\nafter the space\n\t\r\n"
      "00:00:27,000 --> 00:00:28,000\nno index line\n\n"
      "5\n00:00:30,000-->00:00:31,000\nlast without blank line";
  ASSERT_TRUE(t.parseSrt(SubtitleTrack::decodeText(srt)));
  EXPECT_EQ(cues(t), "1-2.5 첫 줄\n둘째 줄\n5-6 정렬됨\n20-21 after junk\n25-26 after the space\n"
                     "27-28 no index line\n30-31 last without blank line\n");
  EXPECT_FALSE(SubtitleTrack().parseSrt("no cues at all\n\n"));
  // WebVTT: its own times, headers, styles, notes and tags.
  const std::pair<const char*, double> vttTimes[] = {
      {"00:01.000", 1.0}, {"01:02:03.004", 3723.004}, {" 00:02.000 ", 2.0}, {"1:02.5", -1}, {"00:60.000", -1},
      {"00:01,000", -1},  {"xx", -1},                 {"1:2:3:4.000", -1}};
  for (const auto& [text, seconds] : vttTimes) EXPECT_DOUBLE_EQ(SubtitleTrack::parseVttTime(text), seconds) << text;
  ASSERT_TRUE(t.parseVtt(
      "WEBVTT - 제목\r\nKind: captions\r\n\r\n"
      "STYLE\n::cue { color: red }\n\n"
      "NOTE 메모\n둘째 줄\n\n"
      "intro\n00:00:01.000 --> 00:00:02.500 align:start position:10%\n<v 화자>안녕</v> &amp; <b>hi</b>\n둘째 줄\n\n"
      "00:03.000 --> 00:04.000\n<c.yellow>노랑</c> &lt;3\n\n"
      "00:05.000 --> broken\nskipped\n\n"
      "00:00.500 --> 00:00.900\n먼저"));
  EXPECT_EQ(cues(t), "0.5-0.9 먼저\n1-2.5 안녕 & hi\n둘째 줄\n3-4 노랑 <3\n");
  EXPECT_FALSE(SubtitleTrack().parseVtt("WEBVTT\n\nNOTE only\n"));
}

const char* kSami =
    "<SAMI><HEAD><STYLE>P {}</STYLE></HEAD><BODY>\r\n"
    "<SYNC Start=500><P Class=KRCC>\r\n첫 번째<br>줄\r\n둘째\r\n"
    "<Sync start=1000><P Class=KRCC>&nbsp;\r\n"
    "<sync START=2000><p>두 번째 &amp; \\N끝\r\n"
    "<SYNC>no start here\r\n"
    "<SYNC Start=\"3000\"><P>quoted</P>\r\n"
    "<SYNC Start=4000><P>마지막\r\n"
    "</BODY></SAMI>\r\n";

// A quoted start reads as 0 and the cues are put in time order; "start=" of the next tag
// is found past the tag that has none; the last cue lasts five seconds.
const char* kSamiCues = "0-0.5 quoted\n0.5-1 첫 번째\n줄\n둘째\n1-2  \n2-4 두 번째 &amp;\n끝\n4-9 마지막\n";

TEST(Subtitles, SamiCuesAndBilingualFilesShowingOneLanguage) {
  SubtitleTrack t;
  ASSERT_TRUE(t.parseSami(kSami));
  EXPECT_EQ(cues(t), kSamiCues);
  for (const char* broken : {"<sync><p>no start</p>", "<sync start=100", "<sync start=", "<syn"})
    EXPECT_FALSE(SubtitleTrack().parseSami(broken)) << broken;

  // A blank record ends the previous cue and shows nothing itself.
  ASSERT_TRUE(t.parseSami("<SYNC Start=0><P>a<SYNC Start=1500><P>   \n<SYNC Start=3000><P>b"));
  EXPECT_EQ(cues(t), "0-1.5 a\n3-8 b\n");
  ASSERT_TRUE(t.parseSami("<SYNC Start=0><P>a<bridge>b"));
  EXPECT_EQ(t.cues()[0].text, "ab");  // only the break tag itself breaks the line
  for (const char* content : {"씨<br>잠시", "씨<BR>잠시", "씨<br/>잠시", "씨<Br />잠시", "씨<br clear=all>잠시",
                              "씨<br>\r\n잠시", "씨\r\n<br>잠시", "<b>씨</b><br><br>잠시"}) {
    ASSERT_TRUE(t.parseSami(std::string("<SYNC Start=0><P Class=KRCC>") + content + "\r\n")) << content;
    EXPECT_EQ(t.cues()[0].text, "씨\n잠시") << content;
  }
  // Bilingual: the Korean block, then the English block starting over; a class-less clearing sync.
  ASSERT_TRUE(t.parseSami("<SAMI><BODY>\n"
                          "<SYNC Start=55000><P Class=KRCC>첫 대사\n"
                          "<SYNC Start=58000><P Class=KRCC>&nbsp;\n"
                          "<SYNC Start=1768000><P Class=KRCC>마지막 대사\n"
                          "<SYNC Start=1600><P Class=ENCC>First line\n"
                          "<SYNC Start=56000><P Class=ENCC>&nbsp;\n"
                          "<SYNC Start=1770000><P Class=ENCC>Last line\n"
                          "</BODY></SAMI>"));
  EXPECT_EQ(cues(t), "55-58 첫 대사\n58-1768  \n1768-1773 마지막 대사\n");  // not ended by English syncs
  // Without a Korean class the first class is shown; paragraphs share a sync here.
  ASSERT_TRUE(t.parseSami("<SYNC Start=0><P Class=ENUSCC>Hello<P Class=FRFRCC>Bonjour"
                          "<SYNC Start=1000>&nbsp;<SYNC Start=2000><P Class=FRFRCC>Salut"));
  EXPECT_EQ(cues(t), "0-1 Hello\n1-6  \n");  // the French sync is not ours
  ASSERT_TRUE(t.parseSami("<SYNC Start=0><P Class=ENCC>Hi<P class=\"kokr\">안녕"));
  EXPECT_EQ(t.cues()[0].text, "안녕");
}

std::string utf32(const std::u32string& text, bool bigEndian) {
  std::string out = bigEndian ? std::string("\0\0\xFE\xFF", 4) : std::string("\xFF\xFE\0\0", 4);
  for (char32_t c : text) {
    for (int k = 0; k < 4; ++k) out.push_back(static_cast<char>(c >> (8 * (bigEndian ? 3 - k : k))));
  }
  return out;
}

TEST(Subtitles, DecodingEveryEncoding) {
  std::string cp, sami;
  ASSERT_TRUE(utf8ToCp949("자막", cp) && utf8ToCp949(kSami, sami));
  struct Case { const char* what; std::string bytes, text; } cases[] = {
      {"UTF-8 with mark", "\xEF\xBB\xBF한글", "한글"},
      // "Hi" + U+D55C U+AE00, and a dangling odd byte.
      {"UTF-16 LE", std::string("\xFF\xFEH\0i\0\x5C\xD5\x00\xAEx", 11), "Hi한글"},
      {"UTF-16 BE", std::string("\xFE\xFF\x00H\xD5\x5C", 6), "H한"},
      {"UTF-32 LE", utf32(U"한글 \U0001F600", false), "한글 \xF0\x9F\x98\x80"},
      {"UTF-32 BE", utf32(U"한글 \U0001F600", true), "한글 \xF0\x9F\x98\x80"},
      {"CP949", cp + " ok", "자막 ok"},
      // Mostly CP949 with one stray byte: the rest still reads as Korean.
      {"CP949 with a stray byte", cp + "\xFF" + "ok", "자막\xEF\xBF\xBDok"},
      // Neither UTF-8 nor CP949: a Western file.
      {"Windows-1252", "Caf\xE9 na\xEFve \x93quoted\x94 \x85", "Café naïve “quoted” …"},
      {"empty", "", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(SubtitleTrack::decodeText(c.bytes), c.text) << c.what;

  test::TempDir dir;
  EXPECT_EQ(SubtitleTrack::readTextFile(dir.file("missing.srt")), "");
  SubtitleTrack t;
  ASSERT_TRUE(t.loadSrt(dir.write("le.srt", utf32(U"1\n00:00:01,000 --> 00:00:02,000\n한글\n", false))));
  EXPECT_EQ(t.cues()[0].text, "한글");
  t.setDelay(3);
  ASSERT_TRUE(t.loadSami(dir.write("film.smi", sami)));
  EXPECT_EQ(t.delay(), 0.0);  // loading clears the delay
  EXPECT_EQ(cues(t), kSamiCues);
}

TEST(Subtitles, LookupWithDelay) {
  SubtitleTrack t;
  ASSERT_TRUE(t.parseSrt("1\n00:00:10,000 --> 00:00:12,000\nA\n\n2\n00:00:20,000 --> 00:00:21,000\nB\n\n"
                         "3\n00:00:21,500 --> 00:00:22,000\nC\n"));
  // Both ends inclusive; the delay shows every cue that much earlier.
  const std::tuple<double, double, const char*> due[] = {
      {0, 10.0, "A"}, {0, 12.0, "A"}, {0, 12.001, ""}, {0, 21.2, ""}, {0, 21.7, "C"},    {1.5, 8.49, ""},
      {1.5, 8.5, "A"}, {1.5, 10.5, "A"}, {1.5, 10.51, ""}, {1.5, NAN, ""}};
  for (const auto& [delay, at, text] : due) {
    t.setDelay(delay);
    EXPECT_EQ(t.textAt(at), text) << at << " with a delay of " << delay;
  }
  t.clear();
  EXPECT_TRUE(t.empty() && t.delay() == 0.0);
}

TEST(SubtitleState, CommandsMirrorIntoSettingsAndReport) {
  Settings s;
  SubtitleState st;
  st.delayLater(s);
  for (int i = 0; i < 3; ++i) st.delayEarlier(s);
  EXPECT_EQ(st.track.delay() + s.subtitleDelay, -2.0);
  EXPECT_EQ(st.delayEarlier(s).text, "자막 딜레이: -1.5초");
  st.resetDelay(s);
  EXPECT_EQ(s.subtitleDelay, 0.0);
  for (int i = 0; i < 20; ++i) st.sizeUp();
  EXPECT_EQ(st.sizeUp().text, "자막 크기: 48pt");
  for (int i = 0; i < 20; ++i) st.sizeDown();
  EXPECT_FLOAT_EQ(st.size, 16);

  for (float bad : {10.0f, 60.0f, NAN}) {
    s.subtitleSize = bad;
    st.applySettings(s);
    EXPECT_FLOAT_EQ(st.size, 22);
  }
  s.subtitleSize = 16;
  s.subtitleVisible = false;
  s.subtitleDelay = 1.5;
  st.applySettings(s);
  EXPECT_TRUE(st.size == 16 && !st.visible && st.track.delay() == 1.5);
  st.size = 30;
  st.visible = true;
  st.storeSettings(s);
  EXPECT_TRUE(s.subtitleSize == 30 && s.subtitleVisible);
}

// Files beside the medium, best first: its own name by kind (SRT, SAMI, ASS, SSA, WebVTT), then
// names with a language part, Korean first; no other parts, and the dot of a folder is no
// extension. A file is read by its extension in any case.
TEST(SubtitleFiles, FoundBesideTheMediumBestFirst) {
  test::TempDir dir;
  for (const char* name : {"film.vtt", "film.srt", "film.ass", "film.smi", "film.txt", "other.SMI", "my.srt",
                           "clip.en.srt", "clip.ko.smi", "clip.kor.srt", "clip.en.ass", "clip..srt", "talk.en.srt",
                           "talk.part2.srt", "song.part2.srt"})
    dir.write(name, "x");
  ASSERT_TRUE(makeDirectories(dir.file("my.dir")));
  const std::pair<const char*, const char*> found[] = {
      {"film.mkv", "film.srt film.smi film.ass film.vtt "}, {"other.avi", "other.SMI "}, {"song.mp3", ""},
      {"none.mp4", ""}, {"noext", ""}, {"my.dir/video", ""},
      {"clip.mkv", "clip.kor.srt clip.ko.smi clip.en.srt clip.en.ass "}, {"talk.mp4", "talk.en.srt "}};
  for (const auto& [medium, names] : found) {
    std::string listed;
    for (const std::string& path : subtitleFilesBeside(dir.file(medium))) {
      EXPECT_EQ(parentPath(path), parentPath(dir.file(medium)));
      listed += displayName(path) + " ";
    }
    EXPECT_EQ(listed, names) << medium;
  }
  const char* srt = "1\n00:00:01,000 --> 00:00:02,000\nfrom srt\n";
  SubtitleTrack t;
  EXPECT_TRUE(t.loadFile(dir.write("x.SRT", srt)) && t.loadFile(dir.write("x.Smi", "<SYNC Start=0><P>smi")) &&
              t.loadFile(dir.write("x.vtt", "WEBVTT\n\n00:01.000 --> 00:02.000\nvtt\n")));
  EXPECT_FALSE(t.loadFile(dir.write("x.ass", srt)));  // a script is libass's
  EXPECT_TRUE(t.empty());
}

// Which track shows first (a file beside the medium wins; else the stream marked default or
// forced, else a Korean one, else none), which a remembered pick names, and how a pick is kept.
TEST(SubtitleChoice, FirstAndRememberedTrack) {
  auto stream = [](int n, const char* language, bool isDefault = false, bool forced = false) {
    SubtitleOption o;
    o.stream = SubtitleStream{n, language, "", "ass", SubtitleKind::Ass, isDefault, forced};
    return o;
  };
  auto file = [](const char* path) { return SubtitleOption{{}, path}; };
  using P = SubtitlePick;
  const P unset, none{P::None, -1, "", ""};
  auto picked = [](int n, const char* language) { return P{P::Stream, n, language, ""}; };
  auto named = [](const char* file) { return P{P::File, -1, "", file}; };
  struct Row {
    std::vector<SubtitleOption> options;
    int first;
    P pick;
    int remembered;  // -2: the pick no longer applies
    P kept;          // the pick of the first track, for the medium /m/film.mkv
  } rows[] = {
      {{}, -1, unset, -2, none},
      {{stream(2, "eng"), stream(3, "jpn")}, -1, none, -1, none},
      {{stream(2, "eng"), stream(3, "kor")}, 1, picked(2, "eng"), 0, picked(3, "kor")},
      {{stream(2, "kor"), stream(3, "eng", false, true)}, 1, picked(7, "kor"), 0, picked(3, "eng")},
      {{stream(2, "ko"), stream(3, "")}, 0, picked(5, "fre"), -2, picked(2, "ko")},
      {{stream(2, "kor", true), file("/m/film.srt")}, 1, named("film.srt"), 1, named("film.srt")},
      {{stream(2, "kor"), file("/x/other.srt")}, 1, named("/x/other.srt"), 1, named("/x/other.srt")},
      {{file("/m/film.srt")}, 0, named("film.ko.srt"), -2, named("film.srt")},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    const Row& r = rows[i];
    SCOPED_TRACE(i);
    EXPECT_EQ(firstSubtitleOption(r.options), r.first);
    bool applies = false;
    const int remembered = rememberedSubtitleOption(r.options, r.pick, applies);
    EXPECT_EQ(applies ? remembered : -2, r.remembered);
    EXPECT_EQ(subtitlePickOf(r.options, r.first, "/m/film.mkv"), r.kept);
  }
}

}  // namespace
}  // namespace vell
