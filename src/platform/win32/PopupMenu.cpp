// Windows: right-click menus as system popup menus, the owner painting meanwhile.
#include "platform/PopupMenu.h"

#include <windows.h>

#include <string_view>

#include "platform/QuitSignal.h"
#include "platform/win32/ModalTimer.h"
#include "platform/win32/WinText.h"
#include "platform/win32/WinWindow.h"

namespace vell {

namespace {

HMENU buildMenu(const std::vector<MenuItem>& items) {
  HMENU menu = CreatePopupMenu();
  for (const MenuItem& m : items) {
    if (m.separator) {
      AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
      continue;
    }
    UINT flags = MF_STRING | (m.checked ? MF_CHECKED : 0) | (m.grayed ? MF_GRAYED : 0);
    std::wstring text = win::widen(m.text());
    // The menu font of many systems has no heavy check mark (it shows as a box): a label that
    // ends in one gets the menu's own check instead.
    if (constexpr std::wstring_view kMark = L" \u2714"; text.ends_with(kMark)) {
      text.resize(text.size() - kMark.size());
      flags |= MF_CHECKED;
    }
    if (m.hasSubmenu()) {
      AppendMenuW(menu, flags | MF_POPUP, reinterpret_cast<UINT_PTR>(buildMenu(m.submenu)), text.c_str());
    } else {
      // An information line (id 0) cannot be chosen.
      AppendMenuW(menu, flags | (m.id == 0 ? MF_GRAYED : 0), static_cast<UINT_PTR>(m.id), text.c_str());
    }
  }
  return menu;
}

}  // namespace

int trackPopupMenu(const std::vector<MenuItem>& items, int screenX, int screenY, const PopupMenuHost& host) {
  if (items.empty()) return 0;
  HWND owner = hwndOf(host.owner);
  HWND window = owner;
  if (!window) window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  HMENU menu = buildMenu(items);
  bool quit = false;
  // The owner keeps painting while the menu's own loop holds the thread; a quit request
  // cancels the menu and reaches the program's loop afterwards.
  ModalTimer timer([&] {
    if (quit) return;
    if (takeQuitSignal()) {
      quit = true;
      EndMenu();
      return;
    }
    if (host.tick) host.tick();
  });
  // The menu closes when the user clicks elsewhere only if its owner is in the foreground.
  SetForegroundWindow(window);
  int chosen = static_cast<int>(TrackPopupMenuEx(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_LEFTALIGN | TPM_TOPALIGN,
                                                 screenX, screenY, window, nullptr));
  PostMessageW(window, WM_NULL, 0, 0);
  if (chosen == 0) {
    // A click elsewhere closes the menu and stays queued for the window under the pointer; it
    // only closes the menu (else a click on the picture would pause, say).
    MSG m;
    while (PeekMessageW(&m, nullptr, WM_LBUTTONDOWN, WM_MBUTTONDBLCLK, PM_REMOVE)) {
    }
  }
  DestroyMenu(menu);  // the submenus go with it
  if (window != owner) DestroyWindow(window);
  if (quit) {
    PostQuitMessage(0);
    return 0;
  }
  return chosen;
}

}  // namespace vell
