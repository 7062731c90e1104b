// Linux: nothing to hold; a rename replaces an open file.
#include "support/FileHold.h"

namespace vell::test {

// A rename replaces a file that others have open (they keep reading the old one): nothing
// to hold.
FileHold::FileHold(const std::string&, int) {}
FileHold::~FileHold() = default;

}  // namespace vell::test
