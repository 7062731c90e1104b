// Windows: UTF-8 to UTF-16 and back, and paths as the wide file APIs want them.
#pragma once
#include <string>
#include <string_view>

namespace vell::win {

// UTF-8 <-> UTF-16 for the wide Windows APIs. Invalid input becomes U+FFFD, never an error.
std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view wide);

// A UTF-8 path as the wide file APIs want it: made absolute and given the "\\?\" prefix when
// it is long, so names past MAX_PATH characters open too. Short paths pass through widened.
std::wstring widePath(std::string_view path);

// The path without a "\\?\" (or "\\?\UNC\") prefix, for paths handed back to the player.
std::wstring withoutLongPrefix(std::wstring path);

}  // namespace vell::win
