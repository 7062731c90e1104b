// The settings side panel's rows, their geometry, scrolling and drawing.
#include "render/SettingsPanel.h"

#include <algorithm>

#include "render/UiResources.h"

namespace vell {

using K = SettingsRowKind;
using G = SettingsPanelGeometry;

const std::array<SettingsRow, kSettingsRowCount> kSettingsRows = {{
    {K::Header, "재생", -1},
    {K::Choice, "마우스 휠", 0},
    {K::Choice, "휠 탐색 간격", 1},
    {K::Choice, "반복 모드", 2},
    {K::Toggle, "셔플", 3},
    {K::Choice, "슬립 타이머", 4},
    {K::Header, "화면", -1},
    {K::Choice, "투명도", 5},
    {K::Toggle, "항상 위", 6},
    {K::Choice, "화면 비율", 13},
    {K::Header, "자막", -1},
    {K::Toggle, "자막 표시", 7},
    {K::Choice, "자막 크기", 8},
    {K::Choice, "자막 색상", 12},
    {K::Header, "기타", -1},
    {K::Choice, "오디오 싱크", 9},
    {K::Action, "라디오 초기화", 10},
    {K::Action, "팟캐스트 초기화", 11},
}};

namespace {

int rowHeight(int row) {
  return kSettingsRows[static_cast<size_t>(row)].kind == K::Header ? G::kSectionRowHeight : G::kRowHeight;
}

}  // namespace

int settingsMaxScroll(int panelHeight) {
  return std::max(0, G::kContentHeight - (panelHeight - G::kHeaderHeight));
}

float settingsRowTop(float panelTop, int scroll, int row) {
  float y = panelTop + G::kHeaderHeight + G::kTopGap - static_cast<float>(scroll);
  for (int i = 0; i < row && i < kSettingsRowCount; ++i) y += static_cast<float>(rowHeight(i));
  return y;
}

int settingsRowAt(float panelTop, float panelBottom, int scroll, float y) {
  if (y < panelTop + G::kHeaderHeight || y >= panelBottom) return -1;
  float top = settingsRowTop(panelTop, scroll, 0);
  for (int i = 0; i < kSettingsRowCount; ++i) {
    float bottom = top + static_cast<float>(rowHeight(i));
    if (y >= top && y < bottom) return i;
    top = bottom;
  }
  return -1;
}

int drawSettingsPanel(Canvas& c, const UiResources& res, const RectF& panel, const SettingsPanelView& view) {
  const float x = panel.left, y = panel.top, w = panel.width(), h = panel.height();
  const float r = x + w, b = y + h, listTop = y + G::kHeaderHeight;
  const int scroll = std::clamp(view.scroll, 0, settingsMaxScroll(static_cast<int>(h)));

  c.fillRect(panel, res.panel);
  c.fillRect(RectF{x, y, x + 1, b}, res.surface2D2D37);
  c.fillRect(RectF{x + 1, y, r, listTop}, res.surface262630at80);
  c.drawText("설정", res.label12, RectF{x + 14, y, r - 40, listTop}, res.text);
  c.drawLine({r - 28, y + 12}, {r - 16, y + 24}, res.textDim, 1.4f);
  c.drawLine({r - 16, y + 12}, {r - 28, y + 24}, res.textDim, 1.4f);

  const TextFormat sectionFormat = res.small10.withAlign(TextAlign::Leading);
  const TextFormat labelFormat = res.small11NoWrap.withEllipsis(true);
  const TextFormat centredValue = res.small11NoWrap.withAlign(TextAlign::Center).withEllipsis(true);
  const TextFormat actionValue = res.small11NoWrap.withEllipsis(true);
  const TextFormat arrowFormat = res.small10;
  const float valueLeft = x + 0.52f * w;

  c.pushClip(RectF{x, listTop, r, b});
  float top = settingsRowTop(y, scroll, 0);
  for (int i = 0; i < kSettingsRowCount && top < b; ++i) {
    const SettingsRow& row = kSettingsRows[static_cast<size_t>(i)];
    const float bottom = top + static_cast<float>(rowHeight(i));
    if (bottom <= listTop) {
      top = bottom;
      continue;
    }
    if (row.kind == K::Header) {
      c.fillRect(RectF{x + 1, top, r, bottom}, res.surface262630at80);
      c.drawText(row.label, sectionFormat, RectF{x + 14, top, r - 8, bottom}, res.accent);
    } else {
      const bool selected = i == view.selected;
      if (selected) c.fillRect(RectF{x + 1, top, r, bottom}, res.surface262630at50);
      c.drawText(row.label, labelFormat, RectF{x + 14, top, x + 0.55f * w, bottom}, res.textDim);
      const std::string& value = view.values[static_cast<size_t>(i)];
      if (row.kind == K::Action) {
        c.drawText(value, actionValue, RectF{valueLeft, top, r - 14, bottom}, res.accent);
      } else {
        const Color arrow = selected ? res.textDim : res.textMuted;
        c.drawText("◀", arrowFormat, RectF{valueLeft, top, valueLeft + 16, bottom}, arrow);
        c.drawText("▶", arrowFormat, RectF{r - 28, top, r - 14, bottom}, arrow);
        c.drawText(value, centredValue, RectF{valueLeft + 16, top, r - 28, bottom}, res.accent);
      }
      c.fillRect(RectF{x + 12, bottom - 1, r - 4, bottom}, res.separator30);
    }
    top = bottom;
  }
  c.popClip();

  const float visible = h - G::kHeaderHeight;
  const float content = static_cast<float>(G::kContentHeight);
  if (content > visible && b - 2 > y + 38) {
    const RectF track{r - 4, y + 38, r - 1, b - 2};
    c.fillRect(track, res.separator30);
    const float trackLength = track.height();
    const float thumb = std::min(trackLength, std::max(20.0f, visible / content * trackLength));
    const float position = static_cast<float>(scroll) / (content - visible) * (trackLength - thumb);
    c.fillRoundedRect(RectF{track.left, track.top + position, track.right, track.top + position + thumb}, 1.5f,
                      res.textMuted);
  }
  return scroll;
}

}  // namespace vell
