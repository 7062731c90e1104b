// The settings side panel's rows, geometry and drawing.
#pragma once
#include <array>
#include <string>

#include "platform/Canvas.h"

namespace vell {

struct UiResources;

// The settings side panel: a 36-pixel header "설정" with a close button, then 18 rows in four
// sections, scrolled by a pixel offset. What the rows mean and do belongs to the App; this is
// their geometry and drawing.
enum class SettingsRowKind { Header, Choice, Toggle, Action };

struct SettingsRow {
  SettingsRowKind kind;
  const char* label;
  int settingId;  // -1 for section headers
};

inline constexpr int kSettingsRowCount = 18;
extern const std::array<SettingsRow, kSettingsRowCount> kSettingsRows;

struct SettingsPanelGeometry {
  static constexpr int kHeaderHeight = 36;
  static constexpr int kTopGap = 8;              // above the first row
  static constexpr int kSectionRowHeight = 28;
  static constexpr int kRowHeight = 36;
  static constexpr int kContentHeight = 648;     // what the scroll range is measured against
};

// 0..max(0, 648 - (panel height - 36)).
int settingsMaxScroll(int panelHeight);
// Top edge of row `row` for a panel whose top is `panelTop`, scrolled by `scroll`.
float settingsRowTop(float panelTop, int scroll, int row);
// The row under y (headers included), or -1; only the visible list (panelTop + 36 up to
// panelBottom) has rows.
int settingsRowAt(float panelTop, float panelBottom, int scroll, float y);

// What one paint shows: each row's value text, the selected (hovered) row and the scroll.
struct SettingsPanelView {
  std::array<std::string, kSettingsRowCount> values;
  int selected = -1;
  int scroll = 0;
};

// Draws the panel into `panel`; returns the scroll offset clamped to the content.
int drawSettingsPanel(Canvas& c, const UiResources& res, const RectF& panel, const SettingsPanelView& view);

}  // namespace vell
