#include "support/FieldInput.h"

namespace vell::test {

bool typeIntoFocusedControl(const std::string&) { return false; }

bool pressInFocusedControl(int) { return false; }

}  // namespace vell::test
