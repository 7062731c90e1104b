// Text rules shared by every part: UTF-8, code pages, names, and printf-style formatting.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace vell {

// All text is UTF-8. Wherever the player counts characters it counts Unicode code points.
size_t utf8Length(std::string_view text);
// The first `count` code points of `text` (the whole text when it is shorter).
std::string utf8Prefix(std::string_view text, size_t count);
bool isValidUtf8(std::string_view text);
// Length of the well-formed UTF-8 sequence at text[i], or 0 when the bytes there are not one
// (overlong forms, surrogates and values past U+10FFFF included).
size_t utf8SequenceLength(std::string_view text, size_t i);

// cp949ToUtf8, utf8ToCp949, cp949ToUtf8Lossy, cp1252ToUtf8 and charsetToUtf8 are the
// target's own (iconv on Linux, the system's code pages on Windows); the rest is shared.

// The legacy Korean code page (CP949, the "system ANSI code page" of Korean Windows).
// Returns false when the bytes are not valid CP949; `out` is then unspecified.
bool cp949ToUtf8(std::string_view bytes, std::string& out);
bool utf8ToCp949(std::string_view text, std::string& out);
// Never fails: each byte that does not start a valid CP949 character becomes U+FFFD and
// decoding goes on with the next byte, as the system code-page conversion does. Real
// subtitle files often carry a few stray bytes.
std::string cp949ToUtf8Lossy(std::string_view bytes);
// UTF-16 little-endian bytes (no byte-order mark) to UTF-8; unpaired surrogates become U+FFFD.
std::string utf16leToUtf8(std::string_view bytes);
// UTF-32 bytes (no byte-order mark) to UTF-8; surrogates and values past U+10FFFF become
// U+FFFD, a cut-off last unit is dropped.
std::string utf32ToUtf8(std::string_view bytes, bool bigEndian);
// Windows-1252 (Western single-byte) to UTF-8; its five unassigned bytes become U+FFFD.
std::string cp1252ToUtf8(std::string_view bytes);
// Bytes in the named character set (an iconv name such as "windows-1251" or "EUC-KR") to
// UTF-8, each undecodable byte as U+FFFD. False when the set is unknown.
bool charsetToUtf8(std::string_view charset, std::string_view bytes, std::string& out);

// ASCII-only lower-casing: bytes outside A-Z are left alone.
std::string asciiLower(std::string_view text);
bool startsWith(std::string_view text, std::string_view prefix);
bool endsWith(std::string_view text, std::string_view suffix);
bool contains(std::string_view text, std::string_view part);

// The text after the last '\' or '/' (the whole text when there is neither); for a URL
// whose path ends in '/', its host.
std::string displayName(std::string_view path);

// printf-style formatting into a string, for the numbers in labels and toasts.
#if defined(__GNUC__) && !defined(__MINGW32__)
__attribute__((format(printf, 1, 2)))
#endif
std::string formatText(const char* fmt, ...);

// Time read-outs: "%d:%02d:%02d" from one hour on, else "%02d:%02d", of trunc(max(seconds, 0)).
std::string formatClock(double seconds);
// Resume messages: "%d:%02d" of the minutes and seconds, from one hour on as formatClock.
std::string formatMinutesSeconds(double seconds);

}  // namespace vell
