// The input dialog's fields and its text rules.
#pragma once
#include <string>
#include <string_view>

#include "platform/TextField.h"

namespace vell {

// One field of the input dialog, drawn by the program on every system: a child edit control of
// the system would be hidden under the Direct3D picture where the system composes it apart.
struct InputField {
  TextField drawn;

  std::string text() const { return drawn.edit.text(); }
  void setText(std::string_view text) { drawn.edit.setText(text); }
  void selectAll() { drawn.edit.selectAll(); }
  std::string selectedText() const { return drawn.edit.selectedText(); }
  // Typed or committed text at the caret.
  void type(std::string_view text) { drawn.onTextInput(text); }
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
