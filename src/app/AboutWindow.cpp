// The modal About window: the program's name, version and licence notice.
#include "app/AboutWindow.h"

#include "Version.h"

#include "app/App.h"
#include "platform/Desktop.h"
#include "platform/Log.h"
#include "platform/VirtualKeys.h"
#include "render/UiResources.h"

namespace vell {

namespace {

// The client area inside a captioned tool window, one line below the other.
constexpr int kClientWidth = 334, kClientHeight = 230;

}  // namespace

bool AboutWindow::create(NativeWindow* owner) {
  name_ = TextFormat::create(kUiFontFamilies, 700, 24, TextAlign::Center, ParagraphAlign::Center, false);
  version_ = TextFormat::create(kUiFontFamilies, 400, 14, TextAlign::Center, ParagraphAlign::Center, false);
  line13_ = TextFormat::create(kUiFontFamilies, 400, 13, TextAlign::Center, ParagraphAlign::Center, false);
  if (!window_.create(owner, "프로그램 정보", kClientWidth, kClientHeight, true)) return false;
  window_.onPaint = [this](Canvas& c) { paint(c); };
  window_.onInput = [this](const ModalInput& in) { input(in); };
  return true;
}

void AboutWindow::paint(Canvas& c) {
  const float W = static_cast<float>(kClientWidth);
  c.fillRect(RectF{0, 0, W, static_cast<float>(kClientHeight)}, Color::rgb(0x18181E));
  // The logo's play mark is drawn: no font has to carry the glyph.
  c.fillEllipse(PointF{W / 2, 48}, 28, 28, Color::rgb(0x6364F1));
  const PointF play[] = {{W / 2 - 7, 36}, {W / 2 + 12, 48}, {W / 2 - 7, 60}};
  c.fillPolygon(play, Color::rgb(0xFFFFFF));
  c.drawText("Vell Player", name_, RectF{0, 84, W, 112}, Color::rgb(0xF0F0F5));
  c.drawText("Version " VELL_VERSION, version_, RectF{0, 114, W, 132}, Color::rgb(0x78788C));
  c.drawText("동영상 · 라디오 · 팟캐스트 올인원 플레이어", line13_, RectF{20, 138, W - 20, 158}, Color::rgb(0xA0A0AF));
  c.drawText(technologyCredits(), line13_, RectF{0, 158, W, 176}, Color::rgb(0x646473));
  c.drawLine(PointF{30, 186.5f}, PointF{W - 30, 186.5f}, Color::rgb(0x32323C), 1);
  c.drawText("© 2026 Vell Player 개발자", line13_, RectF{0, 196, W, 214}, Color::rgb(0x828291));
}

void AboutWindow::input(const ModalInput& in) {
  if (in.type == ModalInput::Key && (in.key == vk::Escape || in.key == vk::Return)) window_.close();
}

}  // namespace vell
