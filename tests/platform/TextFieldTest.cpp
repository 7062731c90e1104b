#include <gtest/gtest.h>

#include "platform/Text.h"
#include "platform/TextField.h"
#include "platform/VirtualKeys.h"

namespace vell {
namespace {

// A field with a clipboard of its own, driven by key codes the way the window delivers them.
struct Field {
  TextField f;
  std::string clipboard;
  Field() {
    f.readClipboard = [this] { return clipboard; };
    f.writeClipboard = [this](const std::string& t) { clipboard = t; };
  }
  // Keys by letter: < > left/right, { } Ctrl+left/right, ( ) Shift+left/right, H home, E end,
  // [ ] Shift+Home/End, B backspace, b Ctrl+Backspace, D delete, a/c/x/v Ctrl+A/C/X/V.
  void keys(std::string_view script) {
    for (char k : script) {
      switch (k) {
        case '<': f.onKey(vk::Left, false, false); break;
        case '>': f.onKey(vk::Right, false, false); break;
        case '{': f.onKey(vk::Left, true, false); break;
        case '}': f.onKey(vk::Right, true, false); break;
        case '(': f.onKey(vk::Left, false, true); break;
        case ')': f.onKey(vk::Right, false, true); break;
        case 'H': f.onKey(vk::Home, false, false); break;
        case 'E': f.onKey(vk::End, false, false); break;
        case '[': f.onKey(vk::Home, false, true); break;
        case ']': f.onKey(vk::End, false, true); break;
        case 'B': f.onKey(vk::Back, false, false); break;
        case 'b': f.onKey(vk::Back, true, false); break;
        case 'D': f.onKey(vk::Delete, false, false); break;
        case 'a': f.onKey('A', true, false); break;
        case 'c': f.onKey('C', true, false); break;
        case 'x': f.onKey('X', true, false); break;
        case 'v': f.onKey('V', true, false); break;
        default: FAIL() << "unknown key " << k;
      }
    }
  }
  size_t caretPoints() const { return utf8Length(std::string_view(f.edit.text()).substr(0, f.edit.caret())); }
};

TEST(TextField, EditingKeysWorkByCodePoint) {
  struct Row {
    const char* start;
    const char* keys;
    const char* typed;  // text input after the keys ("" none)
    const char* text;
    size_t caret;       // in code points
    const char* clipboard;
  };
  const Row rows[] = {
      {"가나 다라", "B", "", "가나 다", 4, ""},
      {"가나 다라", "<<D", "", "가나 라", 3, ""},
      {"가나 다라", "HD", "", "나 다라", 0, ""},
      {"가나 다라", "HB", "", "가나 다라", 0, ""},         // nothing before the start
      {"가나 다라", "ED", "", "가나 다라", 5, ""},         // nothing after the end
      {"가나 다라", "H>>>", "X", "가나 X다라", 4, ""},
      {"가나 다라", "{", "", "가나 다라", 3, ""},          // to the start of the word
      {"가나 다라", "{{", "", "가나 다라", 0, ""},
      {"가나 다라", "H}", "", "가나 다라", 3, ""},         // to the start of the next word
      {"가나 다라", "b", "", "가나 ", 3, ""},
      {"http://a b", "((", "한", "http://a한", 9, ""},   // a typed text replaces the selection
      {"가나다", "H)", "", "가나다", 1, ""},
      {"가나다", "H))x", "", "다", 0, "가나"},              // cut
      {"가나다", "ac", "", "가나다", 3, "가나다"},           // copy keeps the text
      {"가나다", "Hv", "", "ab 가나다", 3, "ab\r\n"},
      {"가나다", "[v", "", "ab ", 3, "ab\r\n"},       // a line break pastes as a space
      {"가나다", "H)<", "", "가나다", 0, ""},               // Left ends a selection at its start
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(std::string(r.start) + " / " + r.keys);
    Field t;
    if (std::string_view(r.keys).find('v') != std::string_view::npos) t.clipboard = r.clipboard;
    t.f.edit.setText(r.start);
    t.keys(r.keys);
    if (*r.typed) t.f.onTextInput(r.typed);
    EXPECT_EQ(t.f.edit.text(), r.text);
    EXPECT_EQ(t.caretPoints(), r.caret);
    if (std::string_view(r.keys).find_first_of("cx") != std::string_view::npos) EXPECT_EQ(t.clipboard, r.clipboard);
    EXPECT_TRUE(isValidUtf8(t.f.edit.text()));
  }
}

TEST(TextField, LengthLimitAndWordSelection) {
  Field t;
  std::string big;
  for (int i = 0; i < 3000; ++i) big += "가";
  t.clipboard = big;
  t.keys("v");
  EXPECT_EQ(utf8Length(t.f.edit.text()), TextEdit::kMaxCodePoints);
  t.f.onTextInput("x");  // full: nothing more goes in
  EXPECT_EQ(utf8Length(t.f.edit.text()), TextEdit::kMaxCodePoints);
  t.keys("BB");
  t.f.onTextInput("abc");  // room for two
  EXPECT_EQ(utf8Length(t.f.edit.text()), TextEdit::kMaxCodePoints);
  EXPECT_EQ(t.f.edit.text().substr(t.f.edit.text().size() - 2), "ab");

  TextEdit e;
  e.setText("play http://host/a.mp3 now");
  e.selectWordAt(9);  // inside the address
  EXPECT_EQ(e.selectedText(), "http://host/a.mp3");
  e.insert("주소");
  EXPECT_EQ(e.text(), "play 주소 now");
  e.setText(std::string("a\xFF") + "b");  // a stray byte shows as U+FFFD
  EXPECT_EQ(e.text(), "a\xEF\xBF\xBD" "b");
}

TEST(TextField, CompositionInsertsOnlyTheCommittedText) {
  Field t;
  t.f.edit.setText("가");
  for (const char* step : {"ㅎ", "하", "한"}) {
    t.f.onTextEditing(step);
    EXPECT_EQ(t.f.edit.text(), "가");
    EXPECT_EQ(t.f.edit.composition(), step);
    // Editing keys belong to the input method while it composes.
    EXPECT_EQ(t.f.onKey(vk::Back, false, false), FieldKey::Handled);
    EXPECT_EQ(t.f.edit.text(), "가");
  }
  t.f.onTextInput("한");
  t.f.onTextEditing("");
  EXPECT_EQ(t.f.edit.text(), "가한");
  EXPECT_EQ(t.f.edit.composition(), "");
  EXPECT_EQ(t.f.onKey(vk::Return, false, false), FieldKey::Submit);
  EXPECT_EQ(t.f.onKey(vk::Escape, false, false), FieldKey::Cancel);
}

TEST(TextField, DrawnFieldScrollsToTheCaretAndMapsClicks) {
  Canvas c;
  ASSERT_TRUE(c.resize(300, 60));
  TextFormat font = TextFormat::create("NanumGothic, sans-serif", 400, 14, TextAlign::Leading, ParagraphAlign::Center, false);
  TextField f;
  std::string text;
  for (int i = 0; i < 80; ++i) text += "가";
  f.edit.setText(text);  // far wider than the box, caret at the end
  RectF box{10, 10, 210, 40};
  RectF caret = f.draw(c, box, font, Color::rgb(0xFFFFFF), Color::rgb(0x6366F1), 0, true);
  EXPECT_GE(caret.left, box.left);
  EXPECT_LE(caret.left, box.right);
  f.edit.home(false);
  caret = f.draw(c, box, font, Color::rgb(0xFFFFFF), Color::rgb(0x6366F1), 0, true);
  EXPECT_NEAR(caret.left, box.left, 1);
  // A click a little right of the box's left edge lands after the first character or two.
  f.onMouseDown(box.left + 20, 1, false);
  f.onMouseDrag(box.left + 60);
  f.onMouseUp();
  size_t start = utf8Length(std::string_view(f.edit.text()).substr(0, f.edit.selectionStart()));
  size_t end = utf8Length(std::string_view(f.edit.text()).substr(0, f.edit.selectionEnd()));
  EXPECT_GE(start, 1u);
  EXPECT_LE(start, 2u);
  EXPECT_GT(end, start + 1);
}

}  // namespace
}  // namespace vell
