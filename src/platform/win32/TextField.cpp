#include "platform/TextField.h"

#include <windows.h>
#include <commctrl.h>

#include <cmath>

#include "platform/Window.h"
#include "platform/win32/WinText.h"
#include "platform/win32/WinWindow.h"

namespace vell {

namespace {

COLORREF colorRef(Color c) {
  auto byte = [](float v) { return static_cast<BYTE>(std::lround(std::fmin(std::fmax(v, 0.0f), 1.0f) * 255)); };
  return RGB(byte(c.r), byte(c.g), byte(c.b));
}

// An EDIT control without a border, in the window's own colours and a font with Hangul.
class EditField final : public NativeTextField {
 public:
  EditField(HWND parent, HWND edit, HFONT font, float scale, Color text, Color background)
      : parent_(parent), edit_(edit), font_(font), scale_(scale) {
    colours_.text = colorRef(text);
    colours_.background = colorRef(background);
    colours_.brush = CreateSolidBrush(colours_.background);
    SetPropW(edit_, kFieldColoursProp, &colours_);
    SendMessageW(edit_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    SendMessageW(edit_, EM_LIMITTEXT, TextEdit::kMaxCodePoints, 0);
    SetWindowSubclass(edit_, keys, 1, 0);
  }

  ~EditField() override {
    if (GetFocus() == edit_) SetFocus(parent_);
    RemoveWindowSubclass(edit_, keys, 1);
    RemovePropW(edit_, kFieldColoursProp);
    DestroyWindow(edit_);
    DeleteObject(font_);
    DeleteObject(colours_.brush);
  }

  std::string text() const override {
    std::wstring w(static_cast<size_t>(GetWindowTextLengthW(edit_)) + 1, L'\0');
    w.resize(static_cast<size_t>(GetWindowTextW(edit_, w.data(), static_cast<int>(w.size()))));
    return win::narrow(w);
  }

  void setText(std::string_view text) override { SetWindowTextW(edit_, win::widen(text).c_str()); }

  void insert(std::string_view text) override {
    SendMessageW(edit_, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(win::widen(text).c_str()));
  }

  void selectAll() override { SendMessageW(edit_, EM_SETSEL, 0, -1); }

  std::string selectedText() const override {
    DWORD start = 0, end = 0;
    SendMessageW(edit_, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    std::wstring w = win::widen(text());
    return start < end && end <= w.size() ? win::narrow(w.substr(start, end - start)) : std::string();
  }

  void focus() override { SetFocus(edit_); }

  bool focused() const override { return GetFocus() == edit_; }

  void move(const RectF& place) override {
    auto px = [this](float v) { return static_cast<int>(std::lround(v * scale_)); };
    MoveWindow(edit_, px(place.left), px(place.top), px(place.right) - px(place.left),
               px(place.bottom) - px(place.top), TRUE);
  }

 private:
  // The keys that end or leave the field go to the window; the control never beeps at them.
  // Ctrl+A selects all, which not every system's control does by itself.
  static LRESULT CALLBACK keys(HWND edit, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR) {
    if (msg == WM_KEYDOWN && (wp == VK_RETURN || wp == VK_ESCAPE || wp == VK_TAB)) {
      SendMessageW(GetParent(edit), kFieldKeyMessage, wp, 0);
      return 0;
    }
    if (msg == WM_KEYDOWN && wp == 'A' && GetKeyState(VK_CONTROL) < 0 && GetKeyState(VK_MENU) >= 0) {
      SendMessageW(edit, EM_SETSEL, 0, -1);
      return 0;
    }
    if (msg == WM_CHAR && (wp == '\r' || wp == '\n' || wp == 27 || wp == '\t' || wp == 1)) return 0;
    return DefSubclassProc(edit, msg, wp, lp);
  }

  HWND parent_;
  HWND edit_;
  HFONT font_;
  float scale_;
  FieldColours colours_;
};

}  // namespace

std::unique_ptr<NativeTextField> NativeTextField::create(Window& window, int id, const RectF& place, float fontSize,
                                                         Color text, Color background) {
  HWND parent = hwndOf(window.handle());
  if (!parent) return nullptr;
  float scale = window.dpiScale();
  // "Segoe UI" has no Hangul of its own: the system links it to a Korean font (a substitute
  // under wine).
  HFONT font = CreateFontW(-static_cast<int>(std::lround(fontSize * scale)), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                           DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, VARIABLE_PITCH,
                           L"Segoe UI");
  HWND edit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 0, 0, 0, 0, parent,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
  if (!edit) {
    if (font) DeleteObject(font);
    return nullptr;
  }
  auto field = std::make_unique<EditField>(parent, edit, font, scale, text, background);
  field->move(place);
  return field;
}

}  // namespace vell
