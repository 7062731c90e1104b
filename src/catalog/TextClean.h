#pragma once
#include <string>
#include <string_view>

namespace vell {

// Text read from files and servers is taken as UTF-8; every byte sequence that is not
// UTF-8 becomes U+FFFD, as the system's UTF-8 decoder does, so the rest of the program
// only ever sees valid text.
std::string toValidUtf8(std::string_view bytes);

// Every "&amp;" becomes "&", repeated until none is left, so a doubly encoded "&amp;amp;"
// also ends as a single "&". No other entity is touched.
std::string decodeAmpersands(std::string_view text);

// Every "\/" becomes "/", repeated until none is left ("\\/" ends as "/" too).
std::string unescapeSlashes(std::string_view text);

}  // namespace vell
