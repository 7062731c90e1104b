#include "support/FieldInput.h"

#include <windows.h>

#include "platform/win32/WinText.h"

namespace vell::test {

namespace {

HWND focusedEdit() {
  HWND focus = GetFocus();
  wchar_t name[16] = {};
  return focus && GetClassNameW(focus, name, 16) && lstrcmpiW(name, L"EDIT") == 0 ? focus : nullptr;
}

}  // namespace

bool typeIntoFocusedControl(const std::string& text) {
  HWND edit = focusedEdit();
  if (!edit) return false;
  for (wchar_t c : win::widen(text)) SendMessageW(edit, WM_CHAR, c, 1);
  return true;
}

bool pressInFocusedControl(int key) {
  HWND edit = focusedEdit();
  if (!edit) return false;
  SendMessageW(edit, WM_KEYDOWN, static_cast<WPARAM>(key), 1);
  wchar_t c = static_cast<wchar_t>(MapVirtualKeyW(static_cast<UINT>(key), MAPVK_VK_TO_CHAR));
  if (c) SendMessageW(edit, WM_CHAR, c, 1);
  SendMessageW(edit, WM_KEYUP, static_cast<WPARAM>(key), 0xC0000001);
  return true;
}

}  // namespace vell::test
