#pragma once
#include <memory>
#include <string>
#include <string_view>

#include "platform/TextField.h"

namespace vell {

// One field of the input dialog: the system's edit control where it has one, else the field
// the program draws.
struct InputField {
  std::unique_ptr<NativeTextField> native;
  TextField drawn;  // unused beside a native control

  std::string text() const { return native ? native->text() : drawn.edit.text(); }
  void setText(std::string_view text) { native ? native->setText(text) : drawn.edit.setText(text); }
  void selectAll() { native ? native->selectAll() : drawn.edit.selectAll(); }
  std::string selectedText() const { return native ? native->selectedText() : drawn.edit.selectedText(); }
  // Typed or committed text at the caret.
  void type(std::string_view text) { native ? native->insert(text) : drawn.onTextInput(text); }
};

// A field as the dialog reads it: at most 2047 code points, without trailing spaces, tabs,
// CR and LF or leading spaces and tabs.
std::string readFieldText(std::string_view text);

// The name a stream gets when none was typed: the host part after "://" (up to the first
// '/', ':' or '?'), else "사용자 스트림".
std::string defaultStreamName(std::string_view url);

// Whether clipboard text goes into the URL field when the dialog opens.
bool clipboardPrefills(std::string_view text);

// The podcast flag of the open-URL use.
bool openUrlPodcastFlag(std::string_view url);

}  // namespace vell
