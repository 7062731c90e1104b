#include <gtest/gtest.h>

#include <cmath>

#include "settings/Settings.h"
#include "subtitles/SubtitleState.h"
#include "support/TempDir.h"

namespace vell {
namespace {

TEST(SubtitleState, DelayCommandsMirrorIntoSettings) {
  Settings s;
  SubtitleState st;
  SubtitleMessage m = st.delayLater(s);
  EXPECT_EQ(m.text, "자막 딜레이: +0.5초");
  EXPECT_EQ(m.durationMs, 1000u);
  EXPECT_DOUBLE_EQ(s.subtitleDelay, 0.5);
  st.delayEarlier(s);
  st.delayEarlier(s);
  m = st.delayEarlier(s);
  EXPECT_EQ(m.text, "자막 딜레이: -1.0초");
  EXPECT_DOUBLE_EQ(st.track.delay(), -1.0);
  EXPECT_DOUBLE_EQ(s.subtitleDelay, -1.0);
  m = st.resetDelay(s);
  EXPECT_EQ(m.text, "자막 딜레이 초기화");
  EXPECT_EQ(m.durationMs, 800u);
  EXPECT_EQ(s.subtitleDelay, 0.0);
  EXPECT_EQ(st.delayLater(s).text, "자막 딜레이: +0.5초");
  st.delayEarlier(s);
  EXPECT_EQ(st.delayEarlier(s).text, "자막 딜레이: -0.5초");
}

TEST(SubtitleState, SizeAndVisibility) {
  SubtitleState st;
  EXPECT_EQ(st.sizeUp().text, "자막 크기: 24pt");
  for (int i = 0; i < 20; ++i) st.sizeUp();
  EXPECT_FLOAT_EQ(st.size, 48);
  EXPECT_EQ(st.sizeUp().text, "자막 크기: 48pt");
  for (int i = 0; i < 20; ++i) st.sizeDown();
  EXPECT_FLOAT_EQ(st.size, 16);
  EXPECT_EQ(st.toggleVisible().text, "자막 OFF");
  EXPECT_EQ(st.toggleVisible().text, "자막 ON");

  Settings s;
  for (float bad : {10.0f, 60.0f, NAN}) {
    s.subtitleSize = bad;
    st.applySettings(s);
    EXPECT_FLOAT_EQ(st.size, 22);
  }
  s.subtitleSize = 16;
  s.subtitleVisible = false;
  s.subtitleDelay = 1.5;
  st.applySettings(s);
  EXPECT_FLOAT_EQ(st.size, 16);
  EXPECT_FALSE(st.visible);
  EXPECT_DOUBLE_EQ(st.track.delay(), 1.5);
  st.size = 30;
  st.visible = true;
  st.storeSettings(s);
  EXPECT_FLOAT_EQ(s.subtitleSize, 30);
  EXPECT_TRUE(s.subtitleVisible);
}

TEST(SubtitleState, LoadingResetsTheDelayAndReports) {
  test::TempDir dir;
  Settings s;
  SubtitleState st;
  st.shiftDelay(2.0, s);
  dir.write("a.srt", "1\n00:00:01,000 --> 00:00:02,000\n안녕\n");
  SubtitleMessage m;
  ASSERT_TRUE(st.autoLoad(dir.file("a.mp4"), s, m));
  EXPECT_EQ(m.text, "자막 로드됨");
  EXPECT_EQ(m.durationMs, 1200u);
  EXPECT_EQ(s.subtitleDelay, 0.0);
  EXPECT_EQ(st.textAt(1.5), "안녕");
  st.visible = false;
  EXPECT_EQ(st.textAt(1.5), "");

  m = st.openFile(dir.file("a.srt"), s);
  EXPECT_EQ(m.text, "자막: a.srt");
  EXPECT_EQ(m.durationMs, 1500u);
  EXPECT_TRUE(st.visible);
  m = st.openFile(dir.write("b.ass", "x"), s);
  EXPECT_EQ(m.text, "자막 로드 실패");
  EXPECT_TRUE(st.track.empty());
  EXPECT_FALSE(st.autoLoad(dir.file("none.mp4"), s, m));
}

}  // namespace
}  // namespace vell
