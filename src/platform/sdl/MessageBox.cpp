// Linux (SDL2): the message box drawn with the canvas in a modal window of its own.
#include <algorithm>
#include <vector>

#include "platform/Log.h"
#include "platform/MessageBox.h"
#include "platform/ModalWindow.h"
#include "platform/VirtualKeys.h"

namespace vell {

namespace {

constexpr const char* kFamilies = "Segoe UI, NanumGothic, NanumBarunGothic, Noto Sans CJK KR, sans-serif";

struct BoxButton {
  const char* label;
  MessageAnswer answer;
  RectF rect;
};

// The box drawn with the canvas: the system's own X11 box uses core fonts without Hangul.
class MessageBoxWindow {
 public:
  MessageBoxWindow(const std::string& text, MessageButtons buttons, MessageIcon icon)
      : text_(text), icon_(icon) {
    switch (buttons) {
      case MessageButtons::Ok:
        buttons_ = {{"확인", MessageAnswer::Ok, {}}};
        escape_ = MessageAnswer::Ok;
        break;
      case MessageButtons::OkCancel:
        buttons_ = {{"확인", MessageAnswer::Ok, {}}, {"취소", MessageAnswer::Cancel, {}}};
        escape_ = MessageAnswer::Cancel;
        break;
      case MessageButtons::YesNo:
        buttons_ = {{"예", MessageAnswer::Yes, {}}, {"아니요", MessageAnswer::No, {}}};
        escape_ = MessageAnswer::No;
        break;
    }
    answer_ = escape_;
    body_ = TextFormat::create(kFamilies, 400, 13, TextAlign::Leading, ParagraphAlign::Top, true);
    button_ = TextFormat::create(kFamilies, 400, 12, TextAlign::Center, ParagraphAlign::Center, false);
    glyph_ = TextFormat::create(kFamilies, 700, 18, TextAlign::Center, ParagraphAlign::Center, false);
  }

  MessageAnswer run(const std::string& caption, NativeWindow* owner) {
    // The size follows the text: measured on a scratch canvas.
    Canvas scratch;
    scratch.resize(1, 1);
    float iconSpace = icon_ == MessageIcon::None ? 0 : 46;
    float widest = 0;
    size_t start = 0;
    while (start <= text_.size()) {
      size_t end = text_.find('\n', start);
      if (end == std::string::npos) end = text_.size();
      widest = std::max(widest, scratch.measureText(text_.substr(start, end - start), body_).x);
      start = end + 1;
    }
    textWidth_ = std::clamp(widest + 2, 220.0f, 460.0f);
    auto layout = scratch.createTextLayout(text_, body_, textWidth_, 2000);
    float textHeight = layout ? layout->height() : 20;
    width_ = static_cast<int>(24 + iconSpace + textWidth_ + 24);
    float contentHeight = std::max(textHeight, iconSpace > 0 ? 36.0f : 0.0f);
    height_ = static_cast<int>(24 + contentHeight + 24 + 30 + 16);
    float x = width_ - 16.0f;
    for (size_t i = buttons_.size(); i-- > 0;) {
      buttons_[i].rect = RectF{x - 84, height_ - 46.0f, x, height_ - 16.0f};
      x -= 84 + 8;
    }
    if (!window_.create(owner, caption, width_, height_)) {
      debugLog("%s: %s", caption.c_str(), text_.c_str());  // no display: the log keeps the message
      return escape_;
    }
    window_.onPaint = [this](Canvas& c) { paint(c); };
    window_.onInput = [this](const ModalInput& in) { input(in); };
    window_.onCloseRequest = [this] {
      answer_ = escape_;
      window_.close();
    };
    window_.run();
    return answer_;
  }

 private:
  void paint(Canvas& c) {
    const Color text = Color::rgb(0xEBEEF5), dim = Color::rgb(0xA0A0AF);
    c.fillRect(RectF{0, 0, float(width_), float(height_)}, Color::rgb(0x1C1C23));
    c.fillRect(RectF{0, height_ - 62.0f, float(width_), float(height_)}, Color::rgb(0x16161C));
    float left = 24;
    if (icon_ != MessageIcon::None) {
      Color ring = icon_ == MessageIcon::Error     ? Color::rgb(0xEF4444)
                   : icon_ == MessageIcon::Warning ? Color::rgb(0xF59E0B)
                                                   : Color::rgb(0x6366F1);
      const char* mark = icon_ == MessageIcon::Question ? "?" : icon_ == MessageIcon::Information ? "i" : "!";
      c.fillEllipse(PointF{24 + 16, 24 + 16}, 16, 16, ring);
      c.drawText(mark, glyph_, RectF{24, 24, 56, 56}, Color::rgb(0xFFFFFF));
      left += 46;
    }
    c.drawText(text_, body_, RectF{left, 24, left + textWidth_, height_ - 62.0f}, text);
    for (size_t i = 0; i < buttons_.size(); ++i) {
      const BoxButton& b = buttons_[i];
      bool focused = static_cast<int>(i) == focus_, hovered = static_cast<int>(i) == hover_;
      Color fill = focused ? Color::rgb(0x6366F1, hovered ? 1.0f : 0.9f)
                           : Color::rgb(0x2D2D37, hovered ? 1.0f : 0.8f);
      c.fillRoundedRect(b.rect, 5, fill);
      if (focused) {
        RectF ring{b.rect.left - 2, b.rect.top - 2, b.rect.right + 2, b.rect.bottom + 2};
        c.drawRoundedRect(ring, 6, Color::rgb(0x8183F8, 0.7f), 1);
      }
      c.drawText(b.label, button_, b.rect, focused || hovered ? Color::rgb(0xFFFFFF) : dim);
    }
  }

  int buttonAt(int x, int y) const {
    for (size_t i = 0; i < buttons_.size(); ++i)
      if (buttons_[i].rect.contains(float(x), float(y))) return static_cast<int>(i);
    return -1;
  }

  void finish(MessageAnswer a) {
    answer_ = a;
    window_.close();
  }

  void input(const ModalInput& in) {
    int count = static_cast<int>(buttons_.size());
    switch (in.type) {
      case ModalInput::Key:
        if (in.key == vk::Return || in.key == vk::Space) {
          finish(buttons_[focus_].answer);
        } else if (in.key == vk::Escape) {
          finish(escape_);
        } else if (in.key == vk::Tab || in.key == vk::Right || in.key == vk::Down || in.key == vk::Left ||
                   in.key == vk::Up) {
          bool back = in.key == vk::Left || in.key == vk::Up || (in.key == vk::Tab && in.shift);
          focus_ = (focus_ + (back ? count - 1 : 1)) % count;
          window_.invalidate();
        }
        break;
      case ModalInput::MouseMove: {
        int h = buttonAt(in.x, in.y);
        if (h != hover_) {
          hover_ = h;
          window_.invalidate();
        }
        break;
      }
      case ModalInput::MouseLeave:
        hover_ = -1;
        window_.invalidate();
        break;
      case ModalInput::MouseDown:
        pressed_ = buttonAt(in.x, in.y);
        if (pressed_ >= 0) {
          focus_ = pressed_;
          window_.invalidate();
        }
        break;
      case ModalInput::MouseUp: {
        int b = buttonAt(in.x, in.y);
        if (b >= 0 && b == pressed_) finish(buttons_[b].answer);
        pressed_ = -1;
        break;
      }
    }
  }

  std::string text_;
  MessageIcon icon_;
  std::vector<BoxButton> buttons_;
  MessageAnswer escape_ = MessageAnswer::Ok;
  MessageAnswer answer_ = MessageAnswer::Ok;
  TextFormat body_, button_, glyph_;
  float textWidth_ = 220;
  int width_ = 0, height_ = 0;
  int focus_ = 0, hover_ = -1, pressed_ = -1;
  ModalWindow window_;
};

}  // namespace

MessageAnswer backend::showMessageBox(const std::string& text, const std::string& caption, MessageButtons buttons,
                                      MessageIcon icon, NativeWindow* owner) {
  MessageBoxWindow box(text, buttons, icon);
  return box.run(caption, owner);
}

}  // namespace vell
