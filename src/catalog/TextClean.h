// Character references and escaped slashes undone in fetched text.
#pragma once
#include <string>
#include <string_view>

namespace vell {

// Every "&amp;" becomes "&", repeated until none is left, so a doubly encoded "&amp;amp;"
// also ends as a single "&". No other entity is touched.
std::string decodeAmpersands(std::string_view text);

// One pass of character references: the five XML names, a few HTML names that feeds use
// although XML lacks them ("&rsquo;", "&hellip;"), and "&#39;" / "&#x27;" numbers. An
// unknown name or a malformed reference stays as written; a number naming no character
// becomes U+FFFD.
std::string decodeXmlEntities(std::string_view text);

// Every "\/" becomes "/", repeated until none is left ("\\/" ends as "/" too).
std::string unescapeSlashes(std::string_view text);

}  // namespace vell
