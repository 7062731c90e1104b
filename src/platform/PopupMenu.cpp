// Menu items made from their text, and where a menu or submenu opens on the display.
#include "platform/PopupMenu.h"

#include <algorithm>

namespace vell {

MenuItem MenuItem::command(std::string_view text, int id, bool checked, bool grayed) {
  MenuItem m;
  size_t tab = text.find('\t');
  m.label = std::string(text.substr(0, tab));
  if (tab != std::string_view::npos) m.accelerator = std::string(text.substr(tab + 1));
  m.id = id;
  m.checked = checked;
  m.grayed = grayed;
  return m;
}

MenuItem MenuItem::line() {
  MenuItem m;
  m.separator = true;
  return m;
}

MenuItem MenuItem::popup(std::string_view text, std::vector<MenuItem> items) {
  MenuItem m = command(text, 0);
  m.submenu = std::move(items);
  return m;
}

void placePopup(const RectI& area, int x, int y, int w, int h, int& outX, int& outY) {
  int right = area.x + area.w, bottom = area.y + area.h;
  outX = x + w <= right ? x : x - w;
  outY = y + h <= bottom ? y : y - h;
  outX = std::max(area.x, std::min(outX, right - w));
  outY = std::max(area.y, std::min(outY, bottom - h));
}

void placeSubmenu(const RectI& area, int parentLeft, int parentRight, int titleTop, int w, int h, int& outX,
                  int& outY) {
  constexpr int kOverlap = 2;  // the levels' borders meet
  int right = area.x + area.w, bottom = area.y + area.h;
  int besideRight = parentRight - kOverlap, besideLeft = parentLeft + kOverlap - w;
  if (besideRight + w <= right)
    outX = besideRight;
  else if (besideLeft >= area.x)
    outX = besideLeft;
  else
    outX = right - parentRight >= parentLeft - area.x ? besideRight : besideLeft;
  outY = titleTop;
  outX = std::max(area.x, std::min(outX, right - w));
  outY = std::max(area.y, std::min(outY, bottom - h));
}

}  // namespace vell
