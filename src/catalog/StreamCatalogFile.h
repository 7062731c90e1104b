// The two catalogue files as text: parsing and writing their lines.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "catalog/StreamEntry.h"

namespace vell {

// The two catalogue files, as text. Both are UTF-8 (an optional byte-order mark is
// skipped), line-oriented, fields separated by '|' with no escaping.

// One entry line: type keyword, id, name, genre, description, url. Fewer than six fields:
// false. Fields after the sixth are ignored; nothing is trimmed.
bool parseStreamLine(std::string_view line, StreamEntry& out);

// streams.ini: every entry line in file order (isUser and isModified false). Empty lines
// and lines starting with ';' are skipped.
std::vector<StreamEntry> parseBuiltinCatalog(std::string_view bytes);

// streams_user.ini, the user's changes to the built-in list.
struct UserCatalog {
  std::vector<std::string> hiddenIds;  // "-|id"
  std::vector<StreamEntry> overrides;  // "=|..." (isUser false)
  std::vector<StreamEntry> additions;  // "+|..." or a bare entry line (isUser true)
};
UserCatalog parseUserCatalog(std::string_view bytes);

// The whole user file: header, hides, edits, then additions. Characters that the format
// cannot carry inside a field are replaced so that every record reads back as one line
// with its own fields (see cleanField).
std::string formatUserCatalog(const UserCatalog& user);

// The field as the user file can hold it: a line feed becomes a space; '|' becomes "%7C"
// in a URL (the same address) and the full-width bar U+FF5C in any other text; a URL,
// which ends its line, loses the trailing blanks the reader would trim anyway.
std::string cleanField(std::string_view text, bool isUrl);

}  // namespace vell
