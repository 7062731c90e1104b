// Drawing the play queue's side panel and finding what a point hits.
#include "playlist/PlaylistPanel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/Canvas.h"
#include "platform/Text.h"
#include "render/UiResources.h"

namespace vell {

namespace {

// Item codes share the number space with the delete and category codes: a queue longer
// than that cannot be told apart, so those rows answer nothing rather than the wrong thing.
constexpr int kMaxItemCode = PlaylistPanel::kDeleteBase;

float rowHeight(const PlaylistRow& row) {
  return static_cast<float>(row.kind == PlaylistRow::kHeader ? PlaylistPanel::kCategoryRowHeight
                                                             : PlaylistPanel::kItemRowHeight);
}

// The row under py in the row walk, or nullptr.
const PlaylistRow* rowAt(const std::vector<PlaylistRow>& rows, float firstTop, float py) {
  float rowTop = firstTop;
  for (const PlaylistRow& row : rows) {
    float h = rowHeight(row);
    if (py >= rowTop && py < rowTop + h) return &row;
    if (rowTop > py) break;
    rowTop += h;
  }
  return nullptr;
}

bool isCollapsed(const Playlist& p, const std::string& name) {
  for (const PlaylistCategory& c : p.categories())
    if (c.name == name) return c.collapsed;
  return false;
}

}  // namespace

std::string PlaylistPanel::durationText(double d) {
  if (!(d > 0 && d < 360000)) return {};
  int s = static_cast<int>(d);
  char buffer[32];
  if (s < 3600)
    std::snprintf(buffer, sizeof buffer, "%02d:%02d", s / 60, s % 60);
  else
    std::snprintf(buffer, sizeof buffer, "%d:%02d:%02d", s / 3600, (s % 3600) / 60, s % 60);
  return buffer;
}

std::string PlaylistPanel::categoryLabel(const Playlist& p, const std::string& name) {
  int count = 0;
  for (const PlaylistItem& item : p.items())
    if (item.category == name) ++count;
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, " (%d)", count);
  return name + buffer;
}

int PlaylistPanel::hitTestClick(const Playlist& p, float px, float py, int left, int top, int width, int height) {
  float x = static_cast<float>(left), r = static_cast<float>(left + width);
  float t = static_cast<float>(top), b = static_cast<float>(top + height);
  if (px < x || px > r) return kNothing;  // both edges belong to the panel
  if (py >= t && py < t + kHeaderHeight) {
    if (px >= r - 36) return kClose;
    if (px >= r - 64) return kPin;
    if (px >= r - 92) return kAdd;
    return kNothing;
  }
  if (py < t || py > b) return kNothing;
  std::vector<PlaylistRow> rows = p.buildRows();
  const PlaylistRow* row = rowAt(rows, t + kHeaderHeight - static_cast<float>(p.scrollOffset), py);
  if (!row) return kNothing;
  if (row->kind == PlaylistRow::kHeader) return kCategoryBase + row->index;
  if (row->index >= kMaxItemCode) return kNothing;
  return px >= r - 28 ? kDeleteBase + row->index : row->index;
}

int PlaylistPanel::hitTestRow(const Playlist& p, float px, float py, int left, int top, int width, int height) {
  float x = static_cast<float>(left), r = static_cast<float>(left + width);
  float t = static_cast<float>(top), b = static_cast<float>(top + height);
  if (px < x || px > r || py < t + kHeaderHeight || py > b) return -1;
  int code = hitTestClick(p, px, py, left, top, width, height);
  return code >= 0 && code < kDeleteBase ? code : -1;
}

void PlaylistPanel::draw(Playlist& p, Canvas& c, int left, int top, int width, int height, const UiResources& res) {
  if (!p.visible) return;
  const float x = static_cast<float>(left), r = static_cast<float>(left + width);
  const float t = static_cast<float>(top), b = static_cast<float>(top + height);
  const float listTop = t + kHeaderHeight;

  c.fillRect(RectF{x, t, r, b}, res.panel);
  c.fillRect(RectF{x, t, x + 1, b}, res.surface2D2D37);

  // Header bar: title with the count, then the add, pin and close buttons.
  c.fillRect(RectF{x + 1, t, r, listTop}, res.surface262630at80);
  c.drawText(formatText("  재생 목록 (%d)", p.count()), res.label12, RectF{x + 8, t, r - 80, listTop}, res.text);
  c.drawLine({r - 85, t + 18}, {r - 75, t + 18}, res.textDim, 1.4f);
  c.drawLine({r - 80, t + 13}, {r - 80, t + 23}, res.textDim, 1.4f);
  if (p.pinned) {
    c.fillEllipse({r - 52, t + 17}, 3, 3, res.accent);
    c.fillRect(RectF{r - 52.7f, t + 20, r - 51.3f, t + 25}, res.accent);
  } else {
    c.drawEllipse({r - 52, t + 17}, 3, 3, res.textDim, 1);
    c.drawLine({r - 52, t + 20}, {r - 52, t + 25}, res.textDim, 1);
  }
  c.drawLine({r - 28, t + 14}, {r - 20, t + 22}, res.textDim, 1.2f);
  c.drawLine({r - 20, t + 14}, {r - 28, t + 22}, res.textDim, 1.2f);

  std::vector<PlaylistRow> rows = p.buildRows();
  float content = 0;
  for (const PlaylistRow& row : rows) content += rowHeight(row);
  int maxScroll = static_cast<int>(std::max(0.0f, content - (static_cast<float>(height) - kHeaderHeight)));
  p.scrollOffset = std::clamp(p.scrollOffset, 0, maxScroll);

  const std::vector<PlaylistItem>& items = p.items();
  const TextFormat titleFormat = res.small11NoWrap.withEllipsis(true);
  // The number column is as wide as the widest number among the rows shown.
  int widest = 0;
  float walk = listTop - static_cast<float>(p.scrollOffset);
  for (const PlaylistRow& row : rows) {
    if (walk >= b) break;
    float next = walk + rowHeight(row);
    if (next > listTop && row.kind != PlaylistRow::kHeader && !items[static_cast<size_t>(row.index)].isStream)
      widest = std::max(widest, row.index + 1);
    walk = next;
  }
  const float numberWidth =
      widest > 0 ? std::max(26.0f, std::ceil(c.measureText(formatText("%d", widest), res.small11NoWrap).x) + 6) : 26;
  // Rows scrolled partly under the header bar are cut at the list's top edge.
  c.pushClip(RectF{x, listTop, r, b});
  float rowTop = listTop - static_cast<float>(p.scrollOffset);
  for (const PlaylistRow& row : rows) {
    if (rowTop >= b) break;
    float h = rowHeight(row);
    float rowBottom = rowTop + h;
    if (rowBottom <= listTop) {
      rowTop = rowBottom;
      continue;
    }
    if (row.kind == PlaylistRow::kHeader) {
      float mid = rowTop + 15;
      c.fillRect(RectF{x + 1, rowTop, r, rowBottom}, res.surface262630at80);
      if (isCollapsed(p, row.text)) {
        PointF chevron[] = {{x + 11, mid - 5}, {x + 18, mid}, {x + 11, mid + 5}};
        c.drawPolyline(chevron, res.accent, 1.5f);
      } else {
        PointF chevron[] = {{x + 9, mid - 2}, {x + 14, mid + 4}, {x + 19, mid - 2}};
        c.drawPolyline(chevron, res.accent, 1.5f);
      }
      c.drawText(categoryLabel(p, row.text), res.label12, RectF{x + 28, rowTop, r - 8, rowBottom}, res.textDim);
      c.fillRect(RectF{x + 10, rowBottom - 1, r - 8, rowBottom}, res.separator30);
    } else {
      const int i = row.index;
      const PlaylistItem& item = items[static_cast<size_t>(i)];
      const bool current = i == p.currentIndex();
      const float mid = rowTop + 18;
      const float tx = x + 10 + (item.category.empty() ? 0 : 12);
      if (current) {
        c.fillRect(RectF{x + 1, rowTop, r, rowBottom}, res.accent15);
        c.fillRect(RectF{x + 1, rowTop + 2, x + 3.5f, rowBottom - 2}, res.accent);
      } else if (i == p.hoverRow) {
        c.fillRect(RectF{x + 1, rowTop, r, rowBottom}, res.surface262630at50);
      }
      const Color marker = current ? res.accent : res.textMuted;
      float titleStart;
      if (item.isStream) {
        c.drawEllipse({tx + 8, mid}, 6, 6, marker, 1);
        c.drawLine({tx + 2, mid}, {tx + 14, mid}, marker, 0.7f);
        c.drawLine({tx + 8, mid - 6}, {tx + 8, mid + 6}, marker, 0.7f);
        titleStart = tx + 20;
      } else {
        c.drawText(formatText("%d", i + 1), res.small11NoWrap, RectF{tx, rowTop, tx + numberWidth, rowBottom}, marker);
        titleStart = tx + numberWidth;
      }
      if (i == p.hoverRow) {
        c.drawLine({r - 23.5f, mid - 3.5f}, {r - 16.5f, mid + 3.5f}, res.red70, 1.2f);
        c.drawLine({r - 23.5f, mid + 3.5f}, {r - 16.5f, mid - 3.5f}, res.red70, 1.2f);
      }
      float titleEnd = r - 32;
      std::string duration = durationText(item.duration);
      if (!duration.empty()) {
        c.drawText(duration, res.tiny9Trailing, RectF{r - 80, rowTop, r - 32, rowBottom}, res.textMuted);
        titleEnd = r - 80;
      }
      c.drawText(item.title, titleFormat, RectF{titleStart, rowTop, titleEnd, rowBottom},
                 current ? res.accent : res.text);
      if (!current) c.fillRect(RectF{x + 10, rowBottom - 1, r - 8, rowBottom}, res.separator30);
    }
    rowTop = rowBottom;
  }
  c.popClip();

  if (p.empty())
    c.drawText("파일을 드래그하거나\n우클릭으로 URL 추가", res.small10, RectF{x, t + 46, r, t + 106}, res.textMuted);
}

}  // namespace vell
