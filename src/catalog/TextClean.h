#pragma once
#include <string>
#include <string_view>

namespace vell {

// Every "&amp;" becomes "&", repeated until none is left, so a doubly encoded "&amp;amp;"
// also ends as a single "&". No other entity is touched.
std::string decodeAmpersands(std::string_view text);

// Every "\/" becomes "/", repeated until none is left ("\\/" ends as "/" too).
std::string unescapeSlashes(std::string_view text);

}  // namespace vell
