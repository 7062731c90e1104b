// Message boxes: a test's answerer when installed, else the target's box.
#include "platform/MessageBox.h"

#include <mutex>
#include <utility>

namespace vell {

namespace {

std::mutex& answererMutex() {
  static std::mutex m;
  return m;
}

MessageBoxAnswerer& answererSlot() {
  static MessageBoxAnswerer a;
  return a;
}

}  // namespace

void setMessageBoxAnswerer(MessageBoxAnswerer answerer) {
  std::lock_guard<std::mutex> lock(answererMutex());
  answererSlot() = std::move(answerer);
}

MessageAnswer showMessageBox(const std::string& text, const std::string& caption, MessageButtons buttons,
                             MessageIcon icon, NativeWindow* owner) {
  {
    std::lock_guard<std::mutex> lock(answererMutex());
    if (answererSlot()) return answererSlot()(text, caption, buttons);
  }
  return backend::showMessageBox(text, caption, buttons, icon, owner);
}

}  // namespace vell
