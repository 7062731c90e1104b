// Text a station sends (names, ICY titles) made into one clean line of UTF-8.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace vell {

// Station names and song titles come from the server: one line, at most `maxChars` code
// points, cut with an ellipsis.
std::string oneLineTitle(const std::string& text, size_t maxChars = 120);
// Text a station sends (ICY titles and headers) to UTF-8: as UTF-8 when it is valid, else as
// CP949 when that decodes cleanly, else as Windows-1252; character references ("&#45432;",
// "&#xB178;", "&amp;") become the characters they name.
std::string stationText(std::string_view bytes);
// The song title of one ICY metadata block ("StreamTitle='...';StreamUrl='...';"), decoded
// as station text; empty when the block names none.
std::string icyStreamTitle(std::string_view block);

}  // namespace vell
