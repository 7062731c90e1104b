#include "platform/TextField.h"

namespace vell {

// SDL has no edit control of the system: the program draws its own field.
std::unique_ptr<NativeTextField> NativeTextField::create(Window&, int, const RectF&, float, Color, Color) {
  return nullptr;
}

}  // namespace vell
