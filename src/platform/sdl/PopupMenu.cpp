// Linux (SDL2): right-click menus drawn in borderless popup windows, with their loop.
#include "platform/PopupMenu.h"

#include <SDL.h>

#include <algorithm>
#include <memory>

#include "platform/Log.h"
#include "platform/QuitSignal.h"
#include "platform/sdl/SdlWindow.h"

namespace vell {

namespace {

// Geometry of one level, in pixels.
constexpr int kPad = 4;         // above the first and below the last item
constexpr int kItemHeight = 23;
constexpr int kMinItemHeight = 18;  // rows shrink to this when a level is taller than the display
constexpr int kSeparatorHeight = 9;
constexpr int kTickColumn = 30;   // left of the labels: the tick
constexpr int kArrowColumn = 26;  // right of the accelerators: the submenu arrow
constexpr int kAcceleratorGap = 32;
constexpr int kMinWidth = 160;
constexpr Uint32 kHoverDelayMs = 250;  // a hovered submenu title opens (or another closes) after this
constexpr Uint32 kTickMs = 16;

bool selectable(const MenuItem& m) { return !m.separator && !m.grayed; }

RectI usableAreaAt(int x, int y) {
  int count = SDL_GetNumVideoDisplays();
  for (int i = 0; i < count; ++i) {
    SDL_Rect r;
    if (SDL_GetDisplayBounds(i, &r) == 0 && x >= r.x && x < r.x + r.w && y >= r.y && y < r.y + r.h) {
      SDL_Rect u;
      if (SDL_GetDisplayUsableBounds(i, &u) == 0) return {u.x, u.y, u.w, u.h};
      return {r.x, r.y, r.w, r.h};
    }
  }
  SDL_Rect r{0, 0, 0, 0};
  if (SDL_GetDisplayUsableBounds(0, &r) != 0) SDL_GetDisplayBounds(0, &r);
  return {r.x, r.y, r.w, r.h};
}

struct Level {
  const std::vector<MenuItem>* items = nullptr;
  SDL_Window* window = nullptr;
  Uint32 windowId = 0;
  Canvas canvas;
  int x = 0, y = 0, w = 0, h = 0;
  std::vector<int> tops;  // each item's top edge inside the window
  int rowHeight = kItemHeight;
  int hover = -1;
  int child = -1;  // the item whose submenu is open as the next level
  bool dirty = true;

  ~Level() {
    if (window) SDL_DestroyWindow(window);
  }
  int itemHeight(int i) const { return (*items)[i].separator ? kSeparatorHeight : rowHeight; }
  int itemAt(int py) const {
    for (size_t i = 0; i < tops.size(); ++i)
      if (py >= tops[i] && py < tops[i] + itemHeight(static_cast<int>(i))) return static_cast<int>(i);
    return -1;
  }
};

class MenuSession {
 public:
  explicit MenuSession(const PopupMenuHost& host) : host_(host), owner_(sdlWindow(host.owner)) {
    const PopupMenuStyle& s = host.style;
    labelFormat_ = TextFormat::create(s.fontFamilies, 400, s.fontSize, TextAlign::Leading, ParagraphAlign::Center, false);
    acceleratorFormat_ = labelFormat_.withAlign(TextAlign::Trailing);
  }

  ~MenuSession() { closeFrom(0); }

  bool openTop(const std::vector<MenuItem>& items, int x, int y) {
    RectI area = usableAreaAt(x, y);
    return open(items, area, x, y, nullptr);
  }

  int run();

 private:
  // A submenu opens beside `parent` with its first row at y; the top level opens at (x, y).
  bool open(const std::vector<MenuItem>& items, const RectI& area, int x, int y, const Level* parent);
  void openChild(size_t level, int item, bool selectFirst);
  void closeFrom(size_t level);
  void draw(Level& l);
  int levelOf(Uint32 windowId) const;
  bool isOurs(SDL_Window* w) const;
  void setHover(size_t level, int item);
  // Moves the keyboard selection of `level` to the next item that can be chosen.
  void moveSelection(size_t level, int step);
  // Returns the chosen id, 0 to cancel, -1 to go on.
  int onKey(SDL_Keycode key);
  int onButtonUp(size_t level, int px, int py);
  void onButtonDown(size_t level, int px, int py);

  const PopupMenuHost& host_;
  SDL_Window* owner_;
  TextFormat labelFormat_, acceleratorFormat_;
  std::vector<std::unique_ptr<Level>> levels_;
  // A submenu that opens (or closes) once the pointer has rested on its title.
  int pendingLevel_ = -1, pendingItem_ = -1;
  Uint32 pendingTick_ = 0;
};

bool MenuSession::open(const std::vector<MenuItem>& items, const RectI& area, int x, int y, const Level* parent) {
  if (items.empty()) return false;
  auto level = std::make_unique<Level>();
  Level& l = *level;
  l.items = &items;
  l.canvas.resize(1, 1);  // measuring needs a text context
  float labelWidth = 0, acceleratorWidth = 0;
  int rows = 0, separators = 0;
  for (const MenuItem& m : items) (m.separator ? separators : rows)++;
  // A level taller than the display gets lower rows, down to a limit; past that it is cut.
  if (rows > 0 && area.h > 0 && 2 * kPad + separators * kSeparatorHeight + rows * kItemHeight > area.h)
    l.rowHeight = std::max(kMinItemHeight, (area.h - 2 * kPad - separators * kSeparatorHeight) / rows);
  int height = kPad;
  for (const MenuItem& m : items) {
    l.tops.push_back(height);
    height += m.separator ? kSeparatorHeight : l.rowHeight;
    if (m.separator) continue;
    labelWidth = std::max(labelWidth, l.canvas.measureText(m.label, labelFormat_).x);
    if (!m.accelerator.empty())
      acceleratorWidth = std::max(acceleratorWidth, l.canvas.measureText(m.accelerator, acceleratorFormat_).x);
  }
  height += kPad;
  int width = kTickColumn + static_cast<int>(labelWidth + 0.99f) + kArrowColumn;
  if (acceleratorWidth > 0) width += kAcceleratorGap + static_cast<int>(acceleratorWidth + 0.99f);
  width = std::max(width, kMinWidth);
  // A level never grows past the display: long menus are cut rather than placed off screen.
  if (area.w > 0) width = std::min(width, area.w);
  if (area.h > 0) height = std::min(height, area.h);
  l.w = width;
  l.h = height;

  // By the parent, not by its coordinates: a display left of the main one has negative ones.
  if (!parent)
    placePopup(area, x, y, width, height, l.x, l.y);
  else
    placeSubmenu(area, parent->x, parent->x + parent->w, y - kPad, width, height, l.x, l.y);
  if (!l.canvas.resize(width, height)) return false;
  Uint32 flags = SDL_WINDOW_POPUP_MENU | SDL_WINDOW_BORDERLESS | SDL_WINDOW_SKIP_TASKBAR | SDL_WINDOW_ALWAYS_ON_TOP |
                 SDL_WINDOW_HIDDEN;
  l.window = SDL_CreateWindow("Vell Player", l.x, l.y, width, height, flags);
  if (!l.window) {
    debugLog("Menu window creation failed: %s\n", SDL_GetError());
    return false;
  }
  l.windowId = SDL_GetWindowID(l.window);
  SDL_ShowWindow(l.window);
  levels_.push_back(std::move(level));
  draw(*levels_.back());
  return true;
}

void MenuSession::openChild(size_t level, int item, bool selectFirst) {
  pendingLevel_ = -1;
  if (level >= levels_.size()) return;
  Level& l = *levels_[level];
  if (item < 0 || item >= static_cast<int>(l.items->size())) return;
  const MenuItem& m = (*l.items)[item];
  if (l.child == item && level + 1 < levels_.size()) {
    if (selectFirst && levels_[level + 1]->hover < 0) moveSelection(level + 1, 1);
    return;
  }
  closeFrom(level + 1);
  if (!m.hasSubmenu() || m.grayed) return;
  RectI area = usableAreaAt(l.x, l.y);
  if (!open(m.submenu, area, 0, l.y + l.tops[item], &l)) return;
  l.child = item;
  l.hover = item;
  l.dirty = true;
  if (selectFirst) moveSelection(level + 1, 1);
}

void MenuSession::closeFrom(size_t level) {
  if (level >= levels_.size()) return;
  SDL_Window* focused = SDL_GetKeyboardFocus();
  bool hadFocus = false;
  for (size_t i = level; i < levels_.size(); ++i) hadFocus = hadFocus || levels_[i]->window == focused;
  levels_.resize(level);
  if (level > 0) {
    Level& parent = *levels_[level - 1];
    parent.child = -1;
    parent.dirty = true;
    // Without a window manager the window shown last took the keyboard: hand it back.
    if (hadFocus) SDL_SetWindowInputFocus(parent.window);
  } else if (hadFocus && owner_) {
    SDL_SetWindowInputFocus(owner_);
  }
}

void MenuSession::draw(Level& l) {
  const PopupMenuStyle& s = host_.style;
  Canvas& c = l.canvas;
  c.clear();
  float w = static_cast<float>(l.w), h = static_cast<float>(l.h);
  Color panel = s.panel;
  panel.a = 1.0f;  // a top-level window has nothing to blend with
  c.fillRect({0, 0, w, h}, panel);
  c.drawRect({0.5f, 0.5f, w - 0.5f, h - 0.5f}, s.border, 1.0f);
  for (size_t i = 0; i < l.items->size(); ++i) {
    const MenuItem& m = (*l.items)[i];
    float top = static_cast<float>(l.tops[i]);
    if (m.separator) {
      float y = top + kSeparatorHeight / 2.0f;
      c.drawLine({8, y}, {w - 8, y}, s.separator, 1.0f);
      continue;
    }
    float bottom = top + l.rowHeight, middle = top + l.rowHeight / 2.0f;
    bool highlighted = (static_cast<int>(i) == l.hover && !m.grayed) || static_cast<int>(i) == l.child;
    if (highlighted) c.fillRoundedRect({4, top + 1, w - 4, bottom - 1}, 4, s.hover);
    Color textColor = m.grayed ? s.grayText : s.text;
    if (m.checked) {
      PointF tick[] = {{11, middle}, {15, middle + 4.5f}, {22, middle - 4.5f}};
      c.drawPolyline(tick, m.grayed ? s.grayText : s.tick, 2.0f);
    }
    c.drawText(m.label, labelFormat_, {static_cast<float>(kTickColumn), top, w - kArrowColumn, bottom}, textColor);
    if (!m.accelerator.empty())
      c.drawText(m.accelerator, acceleratorFormat_,
                 {static_cast<float>(kTickColumn), top, w - kArrowColumn, bottom},
                 m.grayed ? s.grayText : s.accelerator);
    if (m.hasSubmenu()) {
      float ax = w - 16;
      PointF arrow[] = {{ax, middle - 4.5f}, {ax + 5, middle}, {ax, middle + 4.5f}};
      c.fillPolygon(arrow, textColor);
    }
  }
  l.dirty = false;

  SDL_Surface* target = SDL_GetWindowSurface(l.window);
  if (!target) return;
  SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint8_t*>(c.pixels()), l.w, l.h, 32, c.stride(),
                                                           SDL_PIXELFORMAT_ARGB8888);
  if (!source) return;
  SDL_SetSurfaceBlendMode(source, SDL_BLENDMODE_NONE);
  SDL_BlitSurface(source, nullptr, target, nullptr);
  SDL_FreeSurface(source);
  SDL_UpdateWindowSurface(l.window);
}

int MenuSession::levelOf(Uint32 windowId) const {
  for (size_t i = 0; i < levels_.size(); ++i)
    if (levels_[i]->windowId == windowId) return static_cast<int>(i);
  return -1;
}

bool MenuSession::isOurs(SDL_Window* w) const {
  if (!w) return false;
  if (w == owner_) return true;
  for (const auto& l : levels_)
    if (l->window == w) return true;
  return false;
}

void MenuSession::setHover(size_t level, int item) {
  Level& l = *levels_[level];
  if (level > 0) {
    // The pointer reached a submenu: its title stays highlighted in the parent.
    Level& parent = *levels_[level - 1];
    if (parent.hover != parent.child) {
      parent.hover = parent.child;
      parent.dirty = true;
    }
    if (pendingLevel_ == static_cast<int>(level) - 1) pendingLevel_ = -1;
  }
  if (item == l.hover) return;
  l.hover = item;
  l.dirty = true;
  if (item < 0) return;
  // A different item of this level: its submenu opens, another one closes, after a pause.
  bool opensSomething = (*l.items)[item].hasSubmenu() && !(*l.items)[item].grayed;
  if (item != l.child && (opensSomething || l.child >= 0)) {
    pendingLevel_ = static_cast<int>(level);
    pendingItem_ = item;
    pendingTick_ = SDL_GetTicks() + kHoverDelayMs;
  } else if (item == l.child && pendingLevel_ == static_cast<int>(level)) {
    pendingLevel_ = -1;
  }
}

void MenuSession::moveSelection(size_t level, int step) {
  if (level >= levels_.size()) return;
  Level& l = *levels_[level];
  int n = static_cast<int>(l.items->size());
  int i = l.hover;
  for (int tries = 0; tries < n; ++tries) {
    i = i < 0 ? (step > 0 ? 0 : n - 1) : (i + step + n) % n;
    if (selectable((*l.items)[i])) {
      l.hover = i;
      l.dirty = true;
      return;
    }
  }
}

int MenuSession::onKey(SDL_Keycode key) {
  if (levels_.empty()) return 0;
  size_t deepest = levels_.size() - 1;
  Level& l = *levels_[deepest];
  switch (key) {
    case SDLK_DOWN: moveSelection(deepest, 1); break;
    case SDLK_UP: moveSelection(deepest, -1); break;
    case SDLK_RIGHT:
      if (l.hover >= 0 && (*l.items)[l.hover].hasSubmenu()) openChild(deepest, l.hover, true);
      break;
    case SDLK_LEFT:
      if (deepest > 0) closeFrom(deepest);
      break;
    case SDLK_ESCAPE:
      // One level at a time, as desktop menus do; on the top level the menu is cancelled.
      if (deepest == 0) return 0;
      closeFrom(deepest);
      break;
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
    case SDLK_SPACE: {
      if (l.hover < 0) break;
      const MenuItem& m = (*l.items)[l.hover];
      if (m.hasSubmenu())
        openChild(deepest, l.hover, true);
      else if (selectable(m) && m.id != 0)
        return m.id;
      break;
    }
    default: break;
  }
  pendingLevel_ = -1;
  return -1;
}

void MenuSession::onButtonDown(size_t level, int, int py) {
  Level& l = *levels_[level];
  int item = l.itemAt(py);
  if (item >= 0 && (*l.items)[item].hasSubmenu()) openChild(level, item, false);
}

int MenuSession::onButtonUp(size_t level, int, int py) {
  Level& l = *levels_[level];
  int item = l.itemAt(py);
  if (item < 0) return -1;
  const MenuItem& m = (*l.items)[item];
  if (m.hasSubmenu()) {
    openChild(level, item, false);
    return -1;
  }
  return selectable(m) && m.id != 0 ? m.id : -1;
}

int MenuSession::run() {
  std::vector<SDL_Event> deferred;
  Uint32 nextTick = SDL_GetTicks();
  int result = -1;
  bool focusLost = false;
  bool cancelledByFocus = false;
  while (result < 0) {
    if (takeQuitSignal()) {  // SIGTERM or SIGINT: the menu gives way, the owner's loop quits
      SDL_Event q{};
      q.type = SDL_QUIT;
      deferred.push_back(q);
      result = 0;
      break;
    }
    Uint32 now = SDL_GetTicks();
    if (static_cast<int32_t>(now - nextTick) >= 0) {
      if (host_.tick) host_.tick();
      now = SDL_GetTicks();
      nextTick = now + kTickMs;
    }
    if (pendingLevel_ >= 0 && static_cast<int32_t>(now - pendingTick_) >= 0) {
      size_t level = static_cast<size_t>(pendingLevel_);
      pendingLevel_ = -1;
      if (level < levels_.size() && levels_[level]->hover == pendingItem_) openChild(level, pendingItem_, false);
    }
    for (auto& l : levels_)
      if (l->dirty) draw(*l);

    int wait = static_cast<int32_t>(nextTick - now);
    if (pendingLevel_ >= 0) wait = std::min(wait, static_cast<int>(static_cast<int32_t>(pendingTick_ - now)));
    wait = std::clamp(wait, 0, static_cast<int>(kTickMs));
    SDL_Event e;
    // Polled rather than waited for: while SDL waits it wakes itself by sending an X event to
    // its newest window, a menu level, and that event can reach the server after the level
    // was destroyed, which ends the process with BadWindow.
    if (!SDL_PollEvent(&e)) {
      SDL_Delay(static_cast<Uint32>(std::min(wait, 4)));
      continue;
    }
    do {
      switch (e.type) {
        case SDL_QUIT:
          deferred.push_back(e);
          result = 0;
          break;
        case SDL_WINDOWEVENT: {
          int level = levelOf(e.window.windowID);
          if (level >= 0) {
            Level& l = *levels_[level];
            if (e.window.event == SDL_WINDOWEVENT_EXPOSED) l.dirty = true;
            if (e.window.event == SDL_WINDOWEVENT_CLOSE) result = 0;
            if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST) focusLost = true;
            if (e.window.event == SDL_WINDOWEVENT_LEAVE && l.hover != l.child) {
              l.hover = l.child;
              l.dirty = true;
            }
          } else if (e.window.event == SDL_WINDOWEVENT_HIT_TEST) {
            result = 0;  // a press on the owner's caption or border: outside the menu
          } else {
            if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST) focusLost = true;
            if (e.window.event == SDL_WINDOWEVENT_CLOSE) result = 0;
            SDL_Window* w = SDL_GetWindowFromID(e.window.windowID);
            if (w && w == owner_) deferred.push_back(e);
          }
          break;
        }
        case SDL_MOUSEMOTION: {
          int level = levelOf(e.motion.windowID);
          if (level >= 0) setHover(static_cast<size_t>(level), levels_[level]->itemAt(e.motion.y));
          break;
        }
        case SDL_MOUSEBUTTONDOWN: {
          int level = levelOf(e.button.windowID);
          if (level < 0)
            result = 0;  // outside every level
          else
            onButtonDown(static_cast<size_t>(level), e.button.x, e.button.y);
          break;
        }
        case SDL_MOUSEBUTTONUP: {
          int level = levelOf(e.button.windowID);
          if (level >= 0 && e.button.button != SDL_BUTTON_MIDDLE)
            result = onButtonUp(static_cast<size_t>(level), e.button.x, e.button.y);
          break;
        }
        case SDL_KEYDOWN:
          result = onKey(e.key.keysym.sym);
          break;
        case SDL_KEYUP:
        case SDL_TEXTINPUT:
        case SDL_TEXTEDITING:
        case SDL_MOUSEWHEEL:
        case SDL_SYSWMEVENT:
          break;  // input: the menu has it, the owner does not
        default:
          // Dropped files, posted messages, device changes: the owner handles them afterwards.
          deferred.push_back(e);
          break;
      }
    } while (result < 0 && SDL_PollEvent(&e));
    // The keyboard went to another program.
    if (result < 0 && focusLost) {
      focusLost = false;
      if (!isOurs(SDL_GetKeyboardFocus())) {
        result = 0;
        cancelledByFocus = true;
      }
    }
  }

  std::vector<Uint32> ids;
  for (const auto& l : levels_) ids.push_back(l->windowId);
  closeFrom(0);
  // What the menu windows still have queued must not reach the owner as its own input.
  SDL_PumpEvents();
  SDL_Event queued[64];
  std::vector<SDL_Event> keep;
  bool pressTaken = false;
  int got;
  while ((got = SDL_PeepEvents(queued, 64, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT)) > 0) {
    for (int i = 0; i < got; ++i) {
      const SDL_Event& q = queued[i];
      Uint32 id = 0;
      if (q.type == SDL_WINDOWEVENT) id = q.window.windowID;
      else if (q.type == SDL_MOUSEMOTION) id = q.motion.windowID;
      else if (q.type == SDL_MOUSEBUTTONDOWN || q.type == SDL_MOUSEBUTTONUP) id = q.button.windowID;
      else if (q.type == SDL_KEYDOWN || q.type == SDL_KEYUP) id = q.key.windowID;
      else if (q.type == SDL_MOUSEWHEEL) id = q.wheel.windowID;
      if (id != 0 && std::find(ids.begin(), ids.end(), id) != ids.end()) continue;
      if (cancelledByFocus && q.type == SDL_MOUSEBUTTONDOWN) {
        pressTaken = true;
        continue;
      }
      keep.push_back(q);
    }
    if (got < 64) break;
  }
  // A click on the owner that took the focus away dismissed the menu; like a desktop menu,
  // it does nothing else. The press may reach us just after the focus change.
  if (cancelledByFocus && !pressTaken) {
    for (Uint32 until = SDL_GetTicks() + 120; static_cast<int32_t>(SDL_GetTicks() - until) < 0;) {
      SDL_PumpEvents();
      SDL_Event press;
      if (SDL_PeepEvents(&press, 1, SDL_GETEVENT, SDL_MOUSEBUTTONDOWN, SDL_MOUSEBUTTONDOWN) > 0) break;
      SDL_Delay(5);
    }
  }
  for (auto& q : deferred) SDL_PushEvent(&q);
  for (auto& q : keep) SDL_PushEvent(&q);
  return result;
}

}  // namespace

int trackPopupMenu(const std::vector<MenuItem>& menu, int screenX, int screenY, const PopupMenuHost& host) {
  if (menu.empty() || !SDL_WasInit(SDL_INIT_VIDEO)) return 0;
  MenuSession session(host);
  if (!session.openTop(menu, screenX, screenY)) return 0;
  return session.run();
}

}  // namespace vell
