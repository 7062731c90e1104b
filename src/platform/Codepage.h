#pragma once
#include <string>
#include <string_view>

namespace vell {

// CP949 to UTF-8 that never fails: each byte that does not start a valid CP949 character
// becomes U+FFFD and decoding goes on with the next byte, as the system code-page
// conversion does. Real subtitle files often carry a few stray bytes.
std::string cp949ToUtf8Lossy(std::string_view bytes);

}  // namespace vell
