// Editing a single-line field by code point, and drawing it with caret and selection.
#include "platform/TextField.h"

#include <algorithm>

#include "platform/Text.h"
#include "platform/VirtualKeys.h"
#include "platform/Window.h"

namespace vell {

namespace {

// Text fit for a single-line field: well-formed UTF-8 without control characters. A CR LF
// pair becomes one space, so a pasted line break reads as a word gap.
std::string cleanLine(std::string_view in) {
  std::string out;
  out.reserve(in.size());
  for (size_t i = 0; i < in.size();) {
    unsigned char c = static_cast<unsigned char>(in[i]);
    if (c < 0x80) {
      if (c == '\r' && i + 1 < in.size() && in[i + 1] == '\n') ++i;
      out += (c < 0x20 || c == 0x7F) ? ' ' : static_cast<char>(c);
      ++i;
      continue;
    }
    size_t n = utf8SequenceLength(in, i);
    if (n == 0) {
      out += "\xEF\xBF\xBD";
      ++i;
    } else {
      out.append(in.substr(i, n));
      i += n;
    }
  }
  return out;
}

bool isContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

bool isSpaceAt(const std::string& s, size_t i) { return s[i] == ' '; }

}  // namespace

// --- TextEdit ------------------------------------------------------------------------------

// Every code point takes at most four bytes: a longer text is cut before it is cleaned, so a
// huge clipboard costs no more than a full field.
constexpr size_t kMaxBytes = TextEdit::kMaxCodePoints * 4;

void TextEdit::setText(std::string_view text) {
  text_ = utf8Prefix(cleanLine(text.substr(0, kMaxBytes)), kMaxCodePoints);
  caret_ = anchor_ = text_.size();
  composition_.clear();
}

std::string TextEdit::selectedText() const { return text_.substr(selectionStart(), selectionEnd() - selectionStart()); }

void TextEdit::selectAll() {
  anchor_ = 0;
  caret_ = text_.size();
}

void TextEdit::select(size_t anchor, size_t caret) {
  setCaret(anchor, false);
  setCaret(caret, true);
}

void TextEdit::setCaret(size_t offset, bool extend) {
  offset = std::min(offset, text_.size());
  while (offset > 0 && offset < text_.size() && isContinuation(text_[offset])) --offset;
  caret_ = offset;
  if (!extend) anchor_ = offset;
}

size_t TextEdit::prevBoundary(size_t offset) const {
  if (offset == 0) return 0;
  --offset;
  while (offset > 0 && isContinuation(text_[offset])) --offset;
  return offset;
}

size_t TextEdit::nextBoundary(size_t offset) const {
  if (offset >= text_.size()) return text_.size();
  ++offset;
  while (offset < text_.size() && isContinuation(text_[offset])) ++offset;
  return offset;
}

// Words are runs of anything but spaces, as the system's edit control sees them.
size_t TextEdit::wordLeft(size_t offset) const {
  while (offset > 0 && isSpaceAt(text_, prevBoundary(offset))) offset = prevBoundary(offset);
  while (offset > 0 && !isSpaceAt(text_, prevBoundary(offset))) offset = prevBoundary(offset);
  return offset;
}

size_t TextEdit::wordRight(size_t offset) const {
  while (offset < text_.size() && !isSpaceAt(text_, offset)) offset = nextBoundary(offset);
  while (offset < text_.size() && isSpaceAt(text_, offset)) offset = nextBoundary(offset);
  return offset;
}

void TextEdit::moveLeft(bool extend, bool byWord) {
  if (hasSelection() && !extend && !byWord) {
    setCaret(selectionStart(), false);
    return;
  }
  setCaret(byWord ? wordLeft(caret_) : prevBoundary(caret_), extend);
}

void TextEdit::moveRight(bool extend, bool byWord) {
  if (hasSelection() && !extend && !byWord) {
    setCaret(selectionEnd(), false);
    return;
  }
  setCaret(byWord ? wordRight(caret_) : nextBoundary(caret_), extend);
}

void TextEdit::selectWordAt(size_t offset) {
  setCaret(offset, false);
  size_t at = caret_;
  if (text_.empty()) return;
  if (at == text_.size()) at = prevBoundary(at);
  bool space = isSpaceAt(text_, at);
  size_t begin = at, end = at;
  while (begin > 0 && isSpaceAt(text_, prevBoundary(begin)) == space) begin = prevBoundary(begin);
  while (end < text_.size() && isSpaceAt(text_, end) == space) end = nextBoundary(end);
  anchor_ = begin;
  caret_ = end;
}

bool TextEdit::deleteSelection() {
  if (!hasSelection()) return false;
  size_t start = selectionStart();
  text_.erase(start, selectionEnd() - start);
  caret_ = anchor_ = start;
  return true;
}

void TextEdit::insert(std::string_view text) {
  std::string clean = cleanLine(text.substr(0, kMaxBytes));
  deleteSelection();
  size_t room = kMaxCodePoints - std::min(kMaxCodePoints, utf8Length(text_));
  clean = utf8Prefix(clean, room);
  text_.insert(caret_, clean);
  caret_ += clean.size();
  anchor_ = caret_;
}

void TextEdit::backspace(bool byWord) {
  if (deleteSelection()) return;
  size_t from = byWord ? wordLeft(caret_) : prevBoundary(caret_);
  text_.erase(from, caret_ - from);
  caret_ = anchor_ = from;
}

void TextEdit::deleteForward(bool byWord) {
  if (deleteSelection()) return;
  size_t to = byWord ? wordRight(caret_) : nextBoundary(caret_);
  text_.erase(caret_, to - caret_);
  anchor_ = caret_;
}

void TextEdit::setComposition(std::string_view text) { composition_ = cleanLine(text); }

// --- TextField -----------------------------------------------------------------------------

TextField::TextField()
    : readClipboard([] { return Window::clipboardText(); }),
      writeClipboard([](const std::string& t) { Window::setClipboardText(t); }) {}

FieldKey TextField::onKey(int key, bool ctrl, bool shift) {
  // While the input method composes, its own keys belong to it.
  if (!edit.composition().empty()) return FieldKey::Handled;
  switch (key) {
    case vk::Return: return FieldKey::Submit;
    case vk::Escape: return FieldKey::Cancel;
    case vk::Left: edit.moveLeft(shift, ctrl); break;
    case vk::Right: edit.moveRight(shift, ctrl); break;
    case vk::Home: edit.home(shift); break;
    case vk::End: edit.end(shift); break;
    case vk::Back: edit.backspace(ctrl); break;
    case vk::Delete:
      if (shift && !ctrl) {  // Shift+Delete cuts
        if (edit.hasSelection() && writeClipboard) writeClipboard(edit.selectedText());
        edit.deleteSelection();
      } else {
        edit.deleteForward(ctrl);
      }
      break;
    case 'A':
      if (!ctrl) return FieldKey::Ignored;
      edit.selectAll();
      break;
    case 'C':
    case 'X':
      if (!ctrl) return FieldKey::Ignored;
      if (edit.hasSelection() && writeClipboard) writeClipboard(edit.selectedText());
      if (key == 'X') edit.deleteSelection();
      break;
    case 'V':
      if (!ctrl) return FieldKey::Ignored;
      if (readClipboard) edit.insert(readClipboard());
      break;
    default:
      // Printable keys arrive as text input; the rest do nothing here.
      return FieldKey::Ignored;
  }
  return FieldKey::Handled;
}

void TextField::onTextInput(std::string_view text) {
  edit.setComposition({});
  edit.insert(text);
}

void TextField::onTextEditing(std::string_view composition) { edit.setComposition(composition); }

size_t TextField::offsetAt(float x) const {
  if (boundaries_.empty() || offsets_.size() != boundaries_.size()) return 0;
  float local = x - boxLeft_ + scroll_;
  for (size_t i = 0; i + 1 < offsets_.size(); ++i)
    if (local < (offsets_[i] + offsets_[i + 1]) / 2) return boundaries_[i];
  return boundaries_.back();
}

void TextField::onMouseDown(float x, int clicks, bool shift) {
  size_t at = offsetAt(x);
  if (clicks == 2) {
    edit.selectWordAt(at);
    dragging_ = false;
    return;
  }
  edit.setCaret(at, shift);
  dragging_ = true;
}

void TextField::onMouseDrag(float x) {
  if (dragging_) edit.setCaret(offsetAt(x), true);
}

RectF TextField::draw(Canvas& c, const RectF& box, const TextFormat& format, Color textColor, Color selection,
                      uint32_t tick, bool focused) {
  // What is shown: the text with the composition spliced in at the caret.
  const std::string& comp = edit.composition();
  std::string shown = edit.text();
  size_t caret = edit.caret();
  if (!comp.empty()) {
    shown.insert(caret, comp);
  }
  if (shown != measuredText_ || offsets_.empty()) {
    measuredText_ = shown;
    offsets_ = c.caretOffsets(shown, format);
    boundaries_.clear();
    boundaries_.push_back(0);
    for (size_t i = 0; i < shown.size();) {
      size_t n = utf8SequenceLength(shown, i);
      i += n ? n : 1;
      boundaries_.push_back(i);
    }
    if (offsets_.size() != boundaries_.size()) offsets_.resize(boundaries_.size(), offsets_.empty() ? 0 : offsets_.back());
  }
  boxLeft_ = box.left;
  auto xOf = [&](size_t byte) {
    auto it = std::lower_bound(boundaries_.begin(), boundaries_.end(), byte);
    size_t i = static_cast<size_t>(it - boundaries_.begin());
    return box.left - scroll_ + (i < offsets_.size() ? offsets_[i] : 0);
  };
  // Scrolling follows the caret (the end of the composition while composing).
  {
    size_t shownCaret = caret + comp.size();
    size_t index = 0;
    for (size_t i = 0; i < boundaries_.size(); ++i)
      if (boundaries_[i] == shownCaret) index = i;
    float caretX = offsets_[index];
    float total = offsets_.back();
    float width = box.width();
    if (caretX - scroll_ > width - 2) scroll_ = caretX - width + 2;
    if (caretX < scroll_) scroll_ = caretX;
    scroll_ = std::max(0.0f, std::min(scroll_, std::max(0.0f, total - width + 2)));
  }

  c.pushClip(box);
  if (edit.hasSelection() && comp.empty()) {
    float a = xOf(edit.selectionStart()), b = xOf(edit.selectionEnd());
    c.fillRect(RectF{a, box.top + 1, b, box.bottom - 1}, focused ? selection : selection.withOpacity(0.5f));
  }
  TextFormat line = format.withAlign(TextAlign::Leading).withParagraph(ParagraphAlign::Center);
  c.drawText(shown, line, RectF{box.left - scroll_, box.top, box.left - scroll_ + 100000, box.bottom}, textColor);
  float height = format.size() * 1.25f;
  float top = box.top + (box.height() - height) / 2;
  RectF caretRect{xOf(caret + comp.size()), top, xOf(caret + comp.size()) + 1, top + height};
  if (!comp.empty()) {
    float a = xOf(caret), b = xOf(caret + comp.size());
    c.drawLine(PointF{a, top + height}, PointF{b, top + height}, textColor, 1);
  }
  if (focused && ((tick - blinkStart_) / 530) % 2 == 0) c.fillRect(caretRect, textColor);
  c.popClip();
  return caretRect;
}

}  // namespace vell
