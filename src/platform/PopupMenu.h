// The right-click menus: their items, look and placement, and running one.
#pragma once
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Canvas.h"

namespace vell {

struct NativeWindow;

// One line of a right-click menu: a command, a separator, or the title of a submenu.
struct MenuItem {
  int id = 0;               // 0 for separators, submenu titles and information lines
  std::string label;        // the text before the tab
  std::string accelerator;  // the text after the tab, drawn right-aligned
  bool checked = false;
  bool grayed = false;      // shown dimmed; cannot be chosen
  bool separator = false;
  std::vector<MenuItem> submenu;  // non-empty for a submenu title

  bool hasSubmenu() const { return !submenu.empty(); }
  // Text and accelerator are split at the first tab ("파일 열기\tO").
  static MenuItem command(std::string_view text, int id, bool checked = false, bool grayed = false);
  static MenuItem line();
  static MenuItem popup(std::string_view text, std::vector<MenuItem> items);
  // The label with its accelerator after a tab, as the menu was written.
  std::string text() const { return accelerator.empty() ? label : label + "\t" + accelerator; }
};

// The menu's look, given by the caller so that it matches the rest of the window.
struct PopupMenuStyle {
  Color panel = Color::rgb(0x1C1C23);
  Color border = Color::rgb(0x2D2D37);
  Color text = Color::rgb(0xF0F0F5);
  Color grayText = Color::rgb(0x646473);
  Color accelerator = Color::rgb(0xA0A0AF);
  Color hover = Color::rgb(0x6366F1, 0.25f);
  Color tick = Color::rgb(0x6366F1);
  Color separator = Color::rgb(0x2D2D37);
  std::string fontFamilies = "sans-serif";
  float fontSize = 13.0f;
};

// What the menu needs from the window it belongs to.
struct PopupMenuHost {
  NativeWindow* owner = nullptr;  // the main window: its input is held back while the menu is open
  // Called about every 16 ms while the menu is open, so the owner keeps painting.
  std::function<void()> tick;
  PopupMenuStyle style;
};

// Shows `menu` at the screen point (each level its own borderless popup window, kept on the
// display) and runs until an item is chosen or the menu is cancelled (Escape on the top
// level, a click outside every level, the focus going elsewhere). Returns the chosen id, or
// 0. Input meant for the owner meanwhile is dropped; its other events wait until the menu
// has closed.
int trackPopupMenu(const std::vector<MenuItem>& menu, int screenX, int screenY, const PopupMenuHost& host);

// Where a menu of size w x h opens for the point (x, y) inside `area` (left, top, width,
// height): right of and below the point when it fits, else left of or above it, and never
// outside the area when the area can hold it.
void placePopup(const RectI& area, int x, int y, int w, int h, int& outX, int& outY);

// Where a submenu of size w x h opens beside its parent level (x from parentLeft to
// parentRight), its first row level with the title at `titleTop`: right of the parent when it
// fits in `area`, else left of it, else on the side with more room; always inside the area
// when the area can hold it, moved up when it would pass the bottom.
void placeSubmenu(const RectI& area, int parentLeft, int parentRight, int titleTop, int w, int h, int& outX,
                  int& outY);

}  // namespace vell
