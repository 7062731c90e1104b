#include "app/AboutWindow.h"

#include "app/App.h"
#include "platform/Desktop.h"
#include "platform/Log.h"
#include "platform/VirtualKeys.h"
#include "render/UiResources.h"

namespace vell {

namespace {

// The client area inside a 340 x 310 captioned tool window.
constexpr int kClientWidth = 334, kClientHeight = 281;
const RectF kButton{30, 196, 30 + 244, 196 + 30};

}  // namespace

bool AboutWindow::create(NativeWindow* owner) {
  logo_ = TextFormat::create(kUiFontFamilies, 400, 28, TextAlign::Center, ParagraphAlign::Center, false);
  name_ = TextFormat::create(kUiFontFamilies, 700, 24, TextAlign::Center, ParagraphAlign::Center, false);
  version_ = TextFormat::create(kUiFontFamilies, 400, 14, TextAlign::Center, ParagraphAlign::Center, false);
  line13_ = TextFormat::create(kUiFontFamilies, 400, 13, TextAlign::Center, ParagraphAlign::Center, false);
  button_ = TextFormat::create(kUiFontFamilies, 600, 14, TextAlign::Center, ParagraphAlign::Center, false);
  if (!window_.create(owner, "프로그램 정보", kClientWidth, kClientHeight, true)) return false;
  window_.onPaint = [this](Canvas& c) { paint(c); };
  window_.onInput = [this](const ModalInput& in) { input(in); };
  return true;
}

int AboutWindow::linkAt(int x, int y) {
  if (kButton.contains(static_cast<float>(x), static_cast<float>(y))) return 1;
  if (y >= 236 && y < 271) return 2;
  return 0;
}

void AboutWindow::paint(Canvas& c) {
  const float W = static_cast<float>(kClientWidth);
  c.fillRect(RectF{0, 0, W, static_cast<float>(kClientHeight)}, Color::rgb(0x18181E));
  c.fillEllipse(PointF{W / 2, 48}, 28, 28, Color::rgb(0x6364F1));
  c.drawText("▶", logo_, RectF{W / 2 - 28, 32, W / 2 + 28, 68}, Color::rgb(0xFFFFFF));
  c.drawText("Vell Player", name_, RectF{0, 84, W, 112}, Color::rgb(0xF0F0F5));
  c.drawText("Version 7.8.0", version_, RectF{0, 114, W, 132}, Color::rgb(0x78788C));
  c.drawText("동영상 · 라디오 · 팟캐스트 올인원 플레이어", line13_, RectF{20, 138, W - 20, 158}, Color::rgb(0xA0A0AF));
  c.drawText("FFmpeg · SDL2 · cairo / pango · libcurl", line13_, RectF{0, 158, W, 176}, Color::rgb(0x646473));
  c.drawLine(PointF{30, 186.5f}, PointF{W - 30, 186.5f}, Color::rgb(0x32323C), 1);
  c.drawText("© 2026 Vell Player 개발자", line13_, RectF{0, 194, W, 212}, Color::rgb(0x828291));
  c.drawText("contact@vellplayer.example.com", line13_, RectF{0, 214, W, 232}, Color::rgb(0x646473));
  // The link button is a child drawn over the lines, as it always was.
  c.fillRect(kButton, hover_ ? Color::rgb(0x8183F8) : Color::rgb(0x6364F1));
  std::string label = std::string("\U0001F310  ") + kWebAddress + "  —  개발자 블로그";
  c.drawText(label, button_, kButton, Color::rgb(0xFFFFFF));
}

void AboutWindow::input(const ModalInput& in) {
  switch (in.type) {
    case ModalInput::Key:
      if (in.key == vk::Escape || in.key == vk::Return) window_.close();
      break;
    case ModalInput::MouseMove: {
      bool over = linkAt(in.x, in.y) == 1;
      window_.setHandCursor(in.y >= 196 && in.y < 231);
      if (over != hover_) {
        hover_ = over;
        window_.invalidate();
      }
      break;
    }
    case ModalInput::MouseLeave:
      if (hover_) {
        hover_ = false;
        window_.invalidate();
      }
      break;
    case ModalInput::MouseUp:
      if (linkAt(in.x, in.y) != 0) openLink(kWebPage);
      break;
    default:
      break;
  }
}

void App::showAboutWindow() {
  if (aboutOpen) return;
  aboutOpen = true;
  AboutWindow about;
  if (about.create(window.handle())) {
    aboutWindow = &about;
    debugLog("About window shown");
    about.run();
    aboutWindow = nullptr;
  }
  aboutOpen = false;  // also when the window could not be made, so it can be tried again
}

}  // namespace vell
