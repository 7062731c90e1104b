#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "platform/Files.h"
#include "platform/Text.h"
#include "subtitles/SubtitleTrack.h"
#include "support/TempDir.h"

namespace vell {
namespace {

std::string utf16le(const std::string& utf8Ascii) {
  std::string out;
  for (char c : utf8Ascii) {
    out.push_back(c);
    out.push_back('\0');
  }
  return out;
}

TEST(Subtitles, ParseTime) {
  EXPECT_DOUBLE_EQ(SubtitleTrack::parseTime("00:01:02,5"), 62.005);
  EXPECT_DOUBLE_EQ(SubtitleTrack::parseTime(" 00:01:03,250 "), 63.25);
  EXPECT_DOUBLE_EQ(SubtitleTrack::parseTime("01:00:00.100"), 3600.1);
  EXPECT_DOUBLE_EQ(SubtitleTrack::parseTime("00:00:04,000 X1:100 X2:200"), 4.0);
  EXPECT_DOUBLE_EQ(SubtitleTrack::parseTime("1:2:3"), 0.0);
  EXPECT_DOUBLE_EQ(SubtitleTrack::parseTime("garbage"), 0.0);
  EXPECT_DOUBLE_EQ(SubtitleTrack::parseTime("00:00:01;500"), 0.0);
  // Absurd numbers are held, not overflowed.
  EXPECT_DOUBLE_EQ(SubtitleTrack::parseTime("99999999999:0:0,0"), 2147483647.0 * 3600);
}

TEST(Subtitles, CleanText) {
  EXPECT_EQ(SubtitleTrack::cleanText("<i>안녕</i> <font color=\"red\">world</font>"), "안녕 world");
  EXPECT_EQ(SubtitleTrack::cleanText("<i></i>"), "");
  EXPECT_EQ(SubtitleTrack::cleanText("a<b"), "a");
  EXPECT_EQ(SubtitleTrack::cleanText("one\\Ntwo\\n"), "one\ntwo\\n");
  EXPECT_EQ(SubtitleTrack::cleanText("x>y"), "x>y");
}

TEST(Subtitles, SrtBlocks) {
  SubtitleTrack t;
  std::string srt =
      "\xEF\xBB\xBF"  // a mark at the start is dropped by decoding, not by the parser
      "1\r\n00:00:01,000 --> 00:00:02,500\r\n<i>첫 줄</i>\r\n둘째 줄\r\n\r\n"
      "3\n00:00:10,000 --> 00:00:11,000\n<b></b>\n\n"
      "2\n00:00:05,000 --> 00:00:06,000 X1:1\n정렬됨\n\n"
      "4\nno arrow here\n00:00:20,000 --> 00:00:21,000\nafter junk\n \n"  // a line of one space ends it too
      "6\n00:00:25,000 --> 00:00:26,000\nafter the space\n\t\r\n"
      "5\n00:00:30,000-->00:00:31,000\nlast without blank line";
  ASSERT_TRUE(t.parseSrt(SubtitleTrack::decodeText(srt)));
  ASSERT_EQ(t.cues().size(), 5u);
  EXPECT_EQ(t.cues()[0].text, "첫 줄\n둘째 줄");
  EXPECT_DOUBLE_EQ(t.cues()[0].end, 2.5);
  EXPECT_EQ(t.cues()[1].text, "정렬됨");  // sorted by start
  EXPECT_DOUBLE_EQ(t.cues()[1].start, 5.0);
  EXPECT_EQ(t.cues()[2].text, "after junk");
  EXPECT_EQ(t.cues()[3].text, "after the space");
  EXPECT_EQ(t.cues()[4].text, "last without blank line");
  EXPECT_FALSE(SubtitleTrack().parseSrt("no cues at all\n\n"));

  // Blocks without an index line are kept.
  ASSERT_TRUE(t.parseSrt("00:00:01,000 --> 00:00:02,000\nno number\n\n"
                         "00:00:03,000 --> 00:00:04,000\nnone here either\n\n"
                         "7\n00:00:05,000 --> 00:00:06,000\nnumbered\n"));
  ASSERT_EQ(t.cues().size(), 3u);
  EXPECT_EQ(t.cues()[0].text, "no number");
  EXPECT_EQ(t.cues()[1].text, "none here either");
  EXPECT_EQ(t.cues()[2].text, "numbered");
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

TEST(Subtitles, SamiCues) {
  SubtitleTrack t;
  ASSERT_TRUE(t.parseSami(kSami));
  const auto& c = t.cues();
  ASSERT_EQ(c.size(), 5u);
  // A quoted start reads as 0; the cues are put in time order for the look-up.
  EXPECT_EQ(c[0].text, "quoted");
  EXPECT_DOUBLE_EQ(c[0].end, 0.5);
  EXPECT_EQ(c[1].text, "첫 번째\n줄\n둘째");
  EXPECT_DOUBLE_EQ(c[1].start, 0.5);
  EXPECT_DOUBLE_EQ(c[1].end, 1.0);  // ended by the &nbsp; sync
  EXPECT_EQ(c[2].text, " ");
  EXPECT_DOUBLE_EQ(c[2].end, 2.0);
  // "start=" of the next tag is found past the tag that has none.
  EXPECT_EQ(c[3].text, "두 번째 &amp;\n끝");
  EXPECT_DOUBLE_EQ(c[3].start, 2.0);
  EXPECT_DOUBLE_EQ(c[3].end, 4.0);
  EXPECT_EQ(c[4].text, "마지막");
  EXPECT_DOUBLE_EQ(c[4].end, 9.0);  // the last cue lasts five seconds

  EXPECT_FALSE(SubtitleTrack().parseSami("<sync><p>no start</p>"));
  EXPECT_FALSE(SubtitleTrack().parseSami("<sync start=100"));
  EXPECT_FALSE(SubtitleTrack().parseSami("<sync start="));
  EXPECT_FALSE(SubtitleTrack().parseSami("<syn"));

  // A blank record ends the previous cue and shows nothing itself.
  ASSERT_TRUE(t.parseSami("<SYNC Start=0><P>a<SYNC Start=1500><P>   \n<SYNC Start=3000><P>b"));
  ASSERT_EQ(t.cues().size(), 2u);
  EXPECT_DOUBLE_EQ(t.cues()[0].end, 1.5);
  EXPECT_DOUBLE_EQ(t.cues()[1].start, 3.0);
}

TEST(Subtitles, SamiLineBreakTags) {
  for (const char* content : {"나루카미 요우타 씨<br>잠시", "나루카미 요우타 씨<BR>잠시", "나루카미 요우타 씨<br/>잠시",
                              "나루카미 요우타 씨<Br />잠시", "나루카미 요우타 씨<br clear=all>잠시",
                              "나루카미 요우타 씨<br>\r\n잠시", "나루카미 요우타 씨\r\n<br>잠시",
                              "<b>나루카미 요우타 씨</b><br><br>잠시"}) {
    SubtitleTrack t;
    ASSERT_TRUE(t.parseSami(std::string("<SYNC Start=0><P Class=KRCC>") + content + "\r\n")) << content;
    EXPECT_EQ(t.cues()[0].text, "나루카미 요우타 씨\n잠시") << content;
  }
  SubtitleTrack t;
  ASSERT_TRUE(t.parseSami("<SYNC Start=0><P>a<bridge>b"));
  EXPECT_EQ(t.cues()[0].text, "ab");  // only the break tag itself
}

TEST(Subtitles, BilingualSamiShowsOneLanguageInTimeOrder) {
  // The Korean block, then the English block starting over; a sync holding both; a
  // class-less clearing sync.
  const char* twoBlocks =
      "<SAMI><BODY>\n"
      "<SYNC Start=55000><P Class=KRCC>첫 대사\n"
      "<SYNC Start=58000><P Class=KRCC>&nbsp;\n"
      "<SYNC Start=1768000><P Class=KRCC>마지막 대사\n"
      "<SYNC Start=1600><P Class=ENCC>First line\n"
      "<SYNC Start=56000><P Class=ENCC>&nbsp;\n"
      "<SYNC Start=1770000><P Class=ENCC>Last line\n"
      "</BODY></SAMI>";
  SubtitleTrack t;
  ASSERT_TRUE(t.parseSami(twoBlocks));
  ASSERT_EQ(t.cues().size(), 3u);
  EXPECT_EQ(t.textAt(1.6), "");
  EXPECT_EQ(t.textAt(56.5), "첫 대사");  // not ended by the English clearing sync
  EXPECT_EQ(t.textAt(1769.0), "마지막 대사");
  EXPECT_EQ(t.textAt(1772.0), "마지막 대사");
  EXPECT_EQ(t.textAt(1773.5), "");

  // Without a Korean class the first class is shown; paragraphs share a sync here.
  ASSERT_TRUE(t.parseSami("<SYNC Start=0><P Class=ENUSCC>Hello<P Class=FRFRCC>Bonjour"
                          "<SYNC Start=1000>&nbsp;<SYNC Start=2000><P Class=FRFRCC>Salut"));
  ASSERT_EQ(t.cues().size(), 2u);
  EXPECT_EQ(t.cues()[0].text, "Hello");
  EXPECT_DOUBLE_EQ(t.cues()[0].end, 1.0);
  EXPECT_EQ(t.cues()[1].text, " ");
  EXPECT_DOUBLE_EQ(t.cues()[1].end, 6.0);  // the French sync is not ours
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
  std::string cp;
  ASSERT_TRUE(utf8ToCp949("자막", cp));
  const std::u32string srt32 = U"1\n00:00:01,000 --> 00:00:02,000\n한글 \U0001F600\n";
  struct Case {
    const char* what;
    std::string bytes, text;
  } cases[] = {
      {"UTF-8 with mark", "\xEF\xBB\xBF한글", "한글"},
      {"UTF-8", "한글", "한글"},
      // "Hi" + U+D55C U+AE00, and a dangling odd byte.
      {"UTF-16 LE", "\xFF\xFE" + utf16le("Hi") + std::string("\x5C\xD5\x00\xAE", 4) + "x", "Hi한글"},
      {"UTF-16 BE", std::string("\xFE\xFF\x00H\xD5\x5C", 6), "H한"},
      {"UTF-32 LE", utf32(srt32, false), "1\n00:00:01,000 --> 00:00:02,000\n한글 \xF0\x9F\x98\x80\n"},
      {"UTF-32 BE", utf32(srt32, true), "1\n00:00:01,000 --> 00:00:02,000\n한글 \xF0\x9F\x98\x80\n"},
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
  ASSERT_TRUE(t.loadSrt(dir.write("le.srt", utf32(srt32, false))));
  EXPECT_EQ(t.cues()[0].text, "한글 \xF0\x9F\x98\x80");
  ASSERT_TRUE(t.loadSrt(dir.write("w.srt", "1\r\n00:00:01,000 --> 00:00:02,000\r\nGar\xE7on, \xE0 bient\xF4t\r\n")));
  EXPECT_EQ(t.cues()[0].text, "Garçon, à bientôt");
}

TEST(Subtitles, SamiFromACp949FileMadeWithIconv) {
  test::TempDir dir;
  dir.write("utf8.smi", kSami);
  std::string cmd = "iconv -f UTF-8 -t CP949 '" + dir.file("utf8.smi") + "' > '" + dir.file("film.smi") + "'";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  ASSERT_FALSE(isValidUtf8(dir.read("film.smi")));
  SubtitleTrack t;
  t.setDelay(3);
  ASSERT_TRUE(t.loadSami(dir.file("film.smi")));
  EXPECT_EQ(t.delay(), 0.0);  // loading clears the delay
  ASSERT_EQ(t.cues().size(), 5u);
  EXPECT_EQ(t.cues()[1].text, "첫 번째\n줄\n둘째");
  EXPECT_EQ(t.cues()[4].text, "마지막");
}

TEST(Subtitles, LookupWithDelay) {
  SubtitleTrack t;
  ASSERT_TRUE(t.parseSrt("1\n00:00:10,000 --> 00:00:12,000\nA\n\n2\n00:00:20,000 --> 00:00:21,000\nB\n\n"
                         "3\n00:00:21,500 --> 00:00:22,000\nC\n"));
  EXPECT_EQ(t.textAt(10.0), "A");
  EXPECT_EQ(t.textAt(12.0), "A");  // both ends inclusive
  EXPECT_EQ(t.textAt(12.001), "");
  EXPECT_EQ(t.textAt(21.2), "");
  EXPECT_EQ(t.textAt(21.7), "C");
  t.setDelay(1.5);
  EXPECT_EQ(t.textAt(8.49), "");
  EXPECT_EQ(t.textAt(8.5), "A");
  EXPECT_EQ(t.textAt(10.5), "A");
  EXPECT_EQ(t.textAt(10.51), "");
  EXPECT_EQ(t.textAt(std::nan("")), "");
  t.clear();
  EXPECT_EQ(t.delay(), 0.0);
  EXPECT_EQ(t.textAt(10.0), "");
}

TEST(Subtitles, DiscoveryBesideTheMedium) {
  test::TempDir dir;
  const char* srt = "1\n00:00:01,000 --> 00:00:02,000\nfrom srt\n";
  const char* smi = "<SYNC Start=0><P>from smi";
  dir.write("film.mkv", "");
  dir.write("film.srt", srt);
  dir.write("film.smi", smi);
  SubtitleTrack t;
  ASSERT_TRUE(t.loadBeside(dir.file("film.mkv")));
  EXPECT_EQ(t.cues()[0].text, "from srt");

  dir.write("other.SMI", smi);
  ASSERT_TRUE(t.loadBeside(dir.file("other.avi")));
  EXPECT_EQ(t.cues()[0].text, "from smi");

  // A broken first candidate is used anyway: no fall-through to the next one.
  dir.write("bad.srt", "nothing");
  dir.write("bad.smi", smi);
  EXPECT_FALSE(t.loadBeside(dir.file("bad.mp4")));

  EXPECT_FALSE(t.loadBeside(dir.file("none.mp4")));
  EXPECT_FALSE(t.loadBeside(dir.file("noext")));
  // The dot of a folder name is not the medium's extension.
  ASSERT_TRUE(makeDirectories(dir.file("my.dir")));
  dir.write("my.srt", srt);
  EXPECT_FALSE(t.loadBeside(dir.file("my.dir/video")));

  // A file chosen by hand is read by its extension, in any case.
  EXPECT_TRUE(t.loadFile(dir.write("x.SRT", "1\n00:00:01,000 --> 00:00:02,000\nA\n")));
  EXPECT_TRUE(t.loadFile(dir.write("x.Smi", "<SYNC Start=0><P>a")));
  EXPECT_FALSE(t.loadFile(dir.write("x.ass", "1\n00:00:01,000 --> 00:00:02,000\nA\n")));
  EXPECT_TRUE(t.empty());
}
}  // namespace
}  // namespace vell
