#pragma once
#include <string>

namespace vell::test {

// Typing and keys as the system hands them to its own edit control that has the keyboard.
// False where there is none: the program's drawn field then takes input through the window.
bool typeIntoFocusedControl(const std::string& text);
bool pressInFocusedControl(int key);

}  // namespace vell::test
