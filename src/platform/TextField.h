// Single-line text fields: the editing state and the field drawn on the canvas.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Canvas.h"

namespace vell {

// The editing state of a single-line text field: UTF-8 text, caret and selection as byte
// offsets that always sit on code-point boundaries, and the input method's composition.
// No display is needed, so every rule here is testable on its own.
class TextEdit {
 public:
  static constexpr size_t kMaxCodePoints = 2047;

  const std::string& text() const { return text_; }
  // Replaces the text (cut to the limit), caret at the end, nothing selected.
  void setText(std::string_view text);

  size_t caret() const { return caret_; }
  size_t anchor() const { return anchor_; }
  bool hasSelection() const { return caret_ != anchor_; }
  size_t selectionStart() const { return caret_ < anchor_ ? caret_ : anchor_; }
  size_t selectionEnd() const { return caret_ < anchor_ ? anchor_ : caret_; }
  std::string selectedText() const;
  void selectAll();
  void select(size_t anchor, size_t caret);
  // Moves the caret to `offset` (snapped back to a code-point boundary); `extend` keeps the anchor.
  void setCaret(size_t offset, bool extend);

  void moveLeft(bool extend, bool byWord);
  void moveRight(bool extend, bool byWord);
  void home(bool extend) { setCaret(0, extend); }
  void end(bool extend) { setCaret(text_.size(), extend); }
  // The run of word or space characters around `offset`.
  void selectWordAt(size_t offset);

  // Replaces the selection with `text`: line breaks and other control characters become
  // spaces, invalid bytes U+FFFD, and only as much as fits under the limit is kept.
  void insert(std::string_view text);
  void backspace(bool byWord);
  void deleteForward(bool byWord);
  // Removes the selection; false when nothing was selected.
  bool deleteSelection();

  // The input method's text being composed (shown at the caret, not yet part of the text).
  const std::string& composition() const { return composition_; }
  void setComposition(std::string_view text);

 private:
  size_t prevBoundary(size_t offset) const;
  size_t nextBoundary(size_t offset) const;
  size_t wordLeft(size_t offset) const;
  size_t wordRight(size_t offset) const;

  std::string text_;
  size_t caret_ = 0, anchor_ = 0;
  std::string composition_;
};

// What a key did to a field.
enum class FieldKey { Ignored, Handled, Submit, Cancel };

// The field on screen: the edit state drawn with the canvas inside a box, with a blinking
// caret, selection, horizontal scrolling that keeps the caret visible, mouse selection and
// the clipboard keys.
class TextField {
 public:
  TextEdit edit;

  // The clipboard the Ctrl+C/X/V keys use (the system clipboard unless replaced).
  std::function<std::string()> readClipboard;
  std::function<void(const std::string&)> writeClipboard;

  TextField();

  // Keys as virtual-key codes. Enter submits and Escape cancels; editing keys are handled.
  FieldKey onKey(int key, bool ctrl, bool shift);
  void onTextInput(std::string_view text);
  void onTextEditing(std::string_view composition);
  // Mouse in client coordinates; the box is the one the field was last drawn in.
  void onMouseDown(float x, int clicks, bool shift);
  void onMouseDrag(float x);
  void onMouseUp() { dragging_ = false; }
  bool dragging() const { return dragging_; }

  // Draws the text inside `box` (clipped); the caret and the composition only when focused.
  // Returns the caret's rectangle (where the input method places its candidates).
  RectF draw(Canvas& canvas, const RectF& box, const TextFormat& format, Color textColor, Color selection,
             uint32_t tick, bool focused);

  // Restarts the caret's blink (it shows solid right after a change).
  void touch(uint32_t tick) { blinkStart_ = tick; }

 private:
  size_t offsetAt(float x) const;

  // Caret positions of the last text drawn: x of each code-point boundary.
  std::string measuredText_;
  std::vector<size_t> boundaries_;
  std::vector<float> offsets_;
  float scroll_ = 0;
  float boxLeft_ = 0;
  uint32_t blinkStart_ = 0;
  bool dragging_ = false;
};

}  // namespace vell
