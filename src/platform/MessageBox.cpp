#include "platform/MessageBox.h"

#include <SDL.h>

#include <mutex>

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
                             MessageIcon icon, SDL_Window* owner) {
  {
    std::lock_guard<std::mutex> lock(answererMutex());
    if (answererSlot()) return answererSlot()(text, caption, buttons);
  }
  Uint32 flags = icon == MessageIcon::Error     ? SDL_MESSAGEBOX_ERROR
                 : icon == MessageIcon::Warning ? SDL_MESSAGEBOX_WARNING
                                                : SDL_MESSAGEBOX_INFORMATION;
  SDL_MessageBoxButtonData data[2];
  int count = 0;
  MessageAnswer first = MessageAnswer::Ok, second = MessageAnswer::Cancel;
  switch (buttons) {
    case MessageButtons::Ok:
      data[count++] = {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 0, "확인"};
      break;
    case MessageButtons::OkCancel:
      data[count++] = {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, 0, "확인"};
      data[count++] = {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 1, "취소"};
      break;
    case MessageButtons::YesNo:
      first = MessageAnswer::Yes;
      second = MessageAnswer::No;
      data[count++] = {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, 0, "예"};
      data[count++] = {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 1, "아니요"};
      break;
  }
  SDL_MessageBoxData box{flags, owner, caption.c_str(), text.c_str(), count, data, nullptr};
  int pressed = -1;
  if (SDL_ShowMessageBox(&box, &pressed) != 0 || pressed < 0)
    return buttons == MessageButtons::Ok ? MessageAnswer::Ok : second;  // closed: the escape answer
  return pressed == 0 ? first : second;
}

}  // namespace vell
