// Linux: nothing to hold; a rename replaces an open file.
#include "support/FileHold.h"

namespace vell::test {

FileHold::FileHold(const std::string&, int) {}
FileHold::~FileHold() = default;

}  // namespace vell::test
