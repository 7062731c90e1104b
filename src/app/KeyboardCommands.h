// The key table's object: the keyboard shortcuts and the state they keep.
#pragma once
#include <cstdint>

namespace vell {

class App;

// The key table: every keyboard shortcut of the player, with its on-screen message.
class KeyboardCommands {
 public:
  App* app = nullptr;
  uint32_t lastSeekTick = 0;
  double rememberedSpeed = 1.0;  // for the speed toggle

  // `key` is a virtual-key code; true when the key was consumed.
  bool onKey(int key, bool ctrl, bool shift, bool alt);

 private:
  void seek(int key, bool ctrl, bool shift, bool alt);
  void speedMessage();
  void syncMessage();
};

}  // namespace vell
