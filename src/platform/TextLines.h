// Helpers of the line-oriented data files: lines, UTF-8 repair and numbers.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vell {

// Helpers shared by the line-oriented data files (settings, playlist, history, subtitles).

// Splits at LF and drops one trailing CR from each line, so CR LF files read like LF files.
// A text ending in LF yields a last empty line.
std::vector<std::string_view> splitLines(std::string_view text);

// Every invalid UTF-8 sequence becomes U+FFFD; valid text comes back unchanged.
std::string repairUtf8(std::string_view text);

// True when the text holds a C0 control character other than TAB (U+0000 to U+001F),
// DEL or a C1 control character (U+007F to U+009F).
bool hasControlChar(std::string_view utf8);
bool hasLineBreak(std::string_view text);
// Each CR, LF or CR LF becomes one space, so a display text fits on one line of a data file.
std::string flattenLineBreaks(std::string_view text);
// Every occurrence of `from` replaced with `to`.
std::string replaceAll(std::string_view text, std::string_view from, std::string_view to);

// Locale-independent number reading. Leading white space and an optional sign are allowed
// and text after the number is ignored, like the C library conversions; false when there
// are no digits, the value is out of range or (for the floating forms) not finite.
bool parseInt32(std::string_view text, int32_t& out);
bool parseFloat(std::string_view text, float& out);
bool parseDouble(std::string_view text, double& out);
// Unsigned decimal with leading white space; saturates at the maximum; false without digits
// or with a minus sign.
bool parseUint64(std::string_view text, uint64_t& out);

// printf's "%.Nf" without the locale: always a '.' decimal point.
std::string formatFixed(double value, int decimals);

}  // namespace vell
