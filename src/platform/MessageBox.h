// Modal message boxes, their buttons and answers, and the answerer tests install.
#pragma once
#include <functional>
#include <string>

namespace vell {

struct NativeWindow;

enum class MessageButtons { Ok, OkCancel, YesNo };
enum class MessageIcon { None, Information, Question, Warning, Error };
// Which button closed the box.
enum class MessageAnswer { Ok, Cancel, Yes, No };

// A modal message box with the given buttons, owned by `owner` when given. The buttons say
// 확인/취소 or 예/아니요.
MessageAnswer showMessageBox(const std::string& text, const std::string& caption, MessageButtons buttons,
                             MessageIcon icon, NativeWindow* owner = nullptr);

// Tests answer message boxes instead of a person: while installed, every box is passed to
// the answerer and nothing is shown.
using MessageBoxAnswerer =
    std::function<MessageAnswer(const std::string& text, const std::string& caption, MessageButtons buttons)>;
void setMessageBoxAnswerer(MessageBoxAnswerer answerer);

namespace backend {
// The system's box (or one drawn like it), shown when no answerer is installed.
MessageAnswer showMessageBox(const std::string& text, const std::string& caption, MessageButtons buttons,
                             MessageIcon icon, NativeWindow* owner);
}  // namespace backend

}  // namespace vell
