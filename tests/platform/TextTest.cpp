#include <gtest/gtest.h>

#include <tuple>

#include "platform/Text.h"
#include "platform/TextField.h"
#include "platform/VirtualKeys.h"

namespace vell {
namespace {

TEST(Text, CodePointsAndConversions) {
  EXPECT_EQ(utf8Prefix("ab가나다e", 3), "ab가");
  EXPECT_TRUE(isValidUtf8("plain 한글 🎵"));
  // Overlong '/', a surrogate, a cut sequence, the CP949 bytes of 가.
  for (const char* bad : {"\xC0\xAF", "\xED\xA0\x80", "\xEA\xB0", "\xB0\xA1"}) EXPECT_FALSE(isValidUtf8(bad)) << bad;
  std::string cp949, back;
  ASSERT_TRUE(utf8ToCp949("가나다 ABC", cp949));
  EXPECT_EQ(cp949.substr(0, 2), "\xB0\xA1");
  ASSERT_TRUE(cp949ToUtf8(cp949, back));
  EXPECT_EQ(back, "가나다 ABC");
  EXPECT_FALSE(cp949ToUtf8("\xB0", back));  // lead byte without its trail
  // A pair the system converter swallows whole before failing: one mark, no overrun.
  EXPECT_EQ(cp949ToUtf8Lossy("\xA2\xE8"), "\xEF\xBF\xBD");
  EXPECT_EQ(utf16leToUtf8(std::string("\x00\xAC" "A\x00" "\x3C\xD8\xB5\xDF", 8)), "가A🎵");
  EXPECT_EQ(utf16leToUtf8(std::string("\x00\xD8", 2)), "\xEF\xBF\xBD");  // lone surrogate
  EXPECT_EQ(formatMinutesSeconds(3725), "62:05");
}

// A field with a clipboard of its own, driven by key codes the way the window delivers them.
struct Field {
  TextField f;
  std::string clipboard;
  Field() {
    f.readClipboard = [this] { return clipboard; };
    f.writeClipboard = [this](const std::string& t) { clipboard = t; };
  }
  // < > left/right, { } Ctrl+left/right, ( ) Shift+left/right, H E home/end, [ ] Shift+Home/End,
  // B backspace, b Ctrl+Backspace, D delete, a c x v Ctrl+A/C/X/V.
  void keys(std::string_view script) {
    static const std::string_view names = "<>{}()HE[]BbDacxv", ctrl = "{}bacxv", shift = "()[]";
    static const int codes[] = {vk::Left, vk::Right, vk::Left, vk::Right, vk::Left, vk::Right, vk::Home, vk::End, vk::Home,
                                vk::End,  vk::Back,  vk::Back, vk::Delete, 'A',     'C',       'X',      'V'};
    for (char k : script) f.onKey(codes[names.find(k)], ctrl.find(k) != ctrl.npos, shift.find(k) != shift.npos);
  }
  size_t points(size_t offset) const { return utf8Length(std::string_view(f.edit.text()).substr(0, offset)); }
};

TEST(TextField, EditsByCodePointWithinTheLimitComposesAndDraws) {
  // Start, keys, text typed after them, text, caret in code points, clipboard.
  const std::tuple<const char*, const char*, const char*, const char*, size_t, const char*> rows[] = {
      {"가나 다라", "B", "", "가나 다", 4, ""},
      {"가나 다라", "<<D", "", "가나 라", 3, ""},
      {"가나 다라", "HD", "", "나 다라", 0, ""},
      {"가나 다라", "HB", "", "가나 다라", 0, ""},  // nothing before the start
      {"가나 다라", "ED", "", "가나 다라", 5, ""},  // nothing after the end
      {"가나 다라", "H>>>", "X", "가나 X다라", 4, ""},
      {"가나 다라", "H}", "", "가나 다라", 3, ""},  // to the start of the next word
      {"가나 다라", "b", "", "가나 ", 3, ""},
      {"http://a b", "((", "한", "http://a한", 9, ""},  // a typed text replaces the selection
      {"가나다", "H))x", "", "다", 0, "가나"},             // cut
      {"가나다", "ac", "", "가나다", 3, "가나다"},          // copy keeps the text
      {"가나다", "[v", "", "ab ", 3, "ab\r\n"},            // a line break pastes as a space
      {"가나다", "H)<", "", "가나다", 0, ""},               // Left ends a selection at its start
  };
  for (const auto& [start, keys, typed, text, caret, clipboard] : rows) {
    SCOPED_TRACE(std::string(start) + " / " + keys);
    Field t;
    if (std::string_view(keys).find('v') != std::string_view::npos) t.clipboard = clipboard;
    t.f.edit.setText(start);
    t.keys(keys);
    if (*typed) t.f.onTextInput(typed);
    EXPECT_EQ(t.f.edit.text(), text);
    EXPECT_EQ(t.points(t.f.edit.caret()), caret);
    EXPECT_EQ(t.clipboard, clipboard);
  }
  // The limit holds for pasted and typed text.
  Field t;
  for (int i = 0; i < 3000; ++i) t.clipboard += "가";
  t.keys("v");
  EXPECT_EQ(utf8Length(t.f.edit.text()), TextEdit::kMaxCodePoints);
  t.keys("BB");
  t.f.onTextInput("abc");  // room for two
  EXPECT_EQ(utf8Length(t.f.edit.text()), TextEdit::kMaxCodePoints);
  EXPECT_EQ(t.f.edit.text().substr(t.f.edit.text().size() - 2), "ab");
  TextEdit e;
  e.setText("play http://host/a.mp3 now");
  e.selectWordAt(9);  // inside the address
  EXPECT_EQ(e.selectedText(), "http://host/a.mp3");
  e.setText("a\xFF" "b");  // a stray byte shows as U+FFFD
  EXPECT_EQ(e.text(), "a\xEF\xBF\xBD" "b");
  // Only the committed text goes in; editing keys belong to the input method while it composes.
  t.f.edit.setText("가");
  for (const char* step : {"ㅎ", "하", "한"}) {
    t.f.onTextEditing(step);
    EXPECT_EQ(t.f.edit.composition(), step);
    EXPECT_EQ(t.f.onKey(vk::Back, false, false), FieldKey::Handled);
  }
  t.f.onTextInput("한");
  t.f.onTextEditing("");
  EXPECT_EQ(t.f.edit.text(), "가한");
  EXPECT_EQ(t.f.onKey(vk::Return, false, false), FieldKey::Submit);
  EXPECT_EQ(t.f.onKey(vk::Escape, false, false), FieldKey::Cancel);
  // Drawn, the field keeps the caret in its box and maps the pointer to characters.
  Canvas c;
  ASSERT_TRUE(c.resize(300, 60));
  TextFormat font = TextFormat::create("NanumGothic, sans-serif", 400, 14, TextAlign::Leading, ParagraphAlign::Center, false);
  t.clipboard.clear();
  for (int i = 0; i < 80; ++i) t.clipboard += "가";
  t.keys("av");  // far wider than the box, caret at the end
  const RectF box{10, 10, 210, 40};
  auto draw = [&] { return t.f.draw(c, box, font, Color::rgb(0xFFFFFF), Color::rgb(0x6366F1), 0, true).left; };
  const float caret = draw();
  EXPECT_TRUE(caret >= box.left && caret <= box.right) << caret;
  t.keys("H");
  EXPECT_NEAR(draw(), box.left, 1);
  t.f.onMouseDown(box.left + 20, 1, false);  // a drag from just inside: after the first character or two
  t.f.onMouseDrag(box.left + 60);
  t.f.onMouseUp();
  const size_t start = t.points(t.f.edit.selectionStart());
  EXPECT_TRUE(start >= 1 && start <= 2) << start;
  EXPECT_GT(t.points(t.f.edit.selectionEnd()), start + 1);
}

}  // namespace
}  // namespace vell
