// Windows: code pages to and from UTF-8, giving the Linux build's answers.
#include <windows.h>

#include <climits>
#include <cstdint>

#include "platform/Text.h"
#include "platform/win32/WinText.h"

namespace vell {

namespace {

constexpr UINT kKorean = 949;
constexpr UINT kWestern = 1252;
const char kReplacement[] = "\xEF\xBF\xBD";

bool isControlOrPrivate(wchar_t c) { return (c >= 0x80 && c <= 0x9F) || (c >= 0xE000 && c <= 0xF8FF); }

// Where the Windows tables go beyond iconv's, the Linux build's answers are kept: the
// single-byte pages give their unassigned bytes (0x80-0x9F) the C1 control of the same number,
// the double-byte ones give 0x80 alone U+0080, and CP949 maps its user-defined area to private
// use; iconv calls all of these undecodable.
bool notInIconv(UINT codePage, wchar_t c) {
  if (c >= 0x80 && c <= 0x9F) return codePage == 874 || (codePage >= 1250 && codePage <= 1258) || codePage == 932 ||
                                     codePage == 936 || codePage == 949 || codePage == 950;
  return codePage == kKorean && c >= 0xE000 && c <= 0xF8FF;
}

// Strict: false when any byte sequence is not valid in the code page.
bool decodeStrict(UINT codePage, std::string_view bytes, std::wstring& out) {
  out.clear();
  if (bytes.empty()) return true;
  if (bytes.size() > INT_MAX) return false;
  int size = static_cast<int>(bytes.size());
  int n = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
  if (n <= 0) return false;
  out.resize(static_cast<size_t>(n));
  if (MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), size, out.data(), n) != n) return false;
  for (wchar_t c : out)
    if (isControlOrPrivate(c) && notInIconv(codePage, c)) return false;
  return true;
}

// Each byte that does not start a valid character becomes U+FFFD and decoding goes on with
// the next byte, as iconv does in the Linux build.
std::string decodeLossy(UINT codePage, std::string_view bytes) {
  std::wstring wide;
  if (!decodeStrict(codePage, bytes, wide)) {
    wide.clear();
    CPINFO info{};
    bool doubleByte = GetCPInfo(codePage, &info) && info.MaxCharSize == 2;
    std::wstring one;
    for (size_t i = 0; i < bytes.size();) {
      unsigned char c = static_cast<unsigned char>(bytes[i]);
      size_t len = doubleByte && IsDBCSLeadByteEx(codePage, c) ? 2 : 1;
      if (i + len <= bytes.size() && decodeStrict(codePage, bytes.substr(i, len), one) && one.size() == 1) {
        wide += one;
        i += len;
      } else {
        wide += L'\xFFFD';
        ++i;
      }
    }
  }
  return win::narrow(wide);
}

// iconv's lossy UTF-8: each byte that does not start a well-formed sequence is one U+FFFD.
std::string repairUtf8Bytes(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size();) {
    size_t len = utf8SequenceLength(bytes, i);
    if (len == 0) {
      out += kReplacement;
      ++i;
    } else {
      out.append(bytes.substr(i, len));
      i += len;
    }
  }
  return out;
}

std::string swapPairs(std::string_view bytes) {
  std::string out(bytes.substr(0, bytes.size() & ~size_t{1}));
  for (size_t i = 0; i + 1 < out.size(); i += 2) std::swap(out[i], out[i + 1]);
  return out;
}

// What an iconv character-set name stands for here: a Windows code page, or one of the
// Unicode forms decoded by hand.
enum class Form { CodePage, Utf8, Utf16, Utf16Le, Utf16Be, Utf32, Utf32Le, Utf32Be, Unknown };

struct Charset {
  Form form = Form::Unknown;
  UINT codePage = 0;
};

// iconv ignores case; most names are also written with or without '-', '_' and spaces.
std::string normalName(std::string_view name) {
  std::string out;
  for (char c : name) {
    if (c == '-' || c == '_' || c == ' ' || c == '.' || c == ':') continue;
    out += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  }
  return out;
}

Charset charsetNamed(std::string_view name) {
  struct Alias {
    const char* name;
    Form form;
    UINT codePage;
  };
  static const Alias kAliases[] = {
      {"utf8", Form::Utf8, 0},         {"utf16", Form::Utf16, 0},       {"utf16le", Form::Utf16Le, 0},
      {"utf16be", Form::Utf16Be, 0},   {"ucs2le", Form::Utf16Le, 0},    {"ucs2be", Form::Utf16Be, 0},
      {"utf32", Form::Utf32, 0},       {"utf32le", Form::Utf32Le, 0},
      {"utf32be", Form::Utf32Be, 0},
      {"euckr", Form::CodePage, 949},  {"cp949", Form::CodePage, 949},  {"uhc", Form::CodePage, 949},
      {"ksc56011987", Form::CodePage, 949}, {"ksc5601", Form::CodePage, 949}, {"windows949", Form::CodePage, 949},
      {"shiftjis", Form::CodePage, 932}, {"sjis", Form::CodePage, 932}, {"cp932", Form::CodePage, 932},
      {"windows31j", Form::CodePage, 932}, {"mskanji", Form::CodePage, 932}, {"eucjp", Form::CodePage, 20932},
      {"gb2312", Form::CodePage, 936}, {"gbk", Form::CodePage, 936},   {"cp936", Form::CodePage, 936},
      {"euccn", Form::CodePage, 936},  {"windows936", Form::CodePage, 936}, {"gb18030", Form::CodePage, 54936},
      {"big5", Form::CodePage, 950},   {"cp950", Form::CodePage, 950},  {"big5hkscs", Form::CodePage, 950},
      {"latin1", Form::CodePage, 28591}, {"latin2", Form::CodePage, 28592}, {"ascii", Form::CodePage, 20127},
      {"usascii", Form::CodePage, 20127}, {"koi8r", Form::CodePage, 20866}, {"koi8u", Form::CodePage, 21866},
      {"ibm866", Form::CodePage, 866}, {"cp866", Form::CodePage, 866},  {"ibm437", Form::CodePage, 437},
      {"cp437", Form::CodePage, 437},  {"ibm850", Form::CodePage, 850}, {"cp850", Form::CodePage, 850},
      {"macintosh", Form::CodePage, 10000}, {"macroman", Form::CodePage, 10000}, {"tis620", Form::CodePage, 874},
      {"windows874", Form::CodePage, 874}, {"cp874", Form::CodePage, 874},
  };
  std::string n = normalName(name);
  for (const Alias& a : kAliases)
    if (n == a.name) return {a.form, a.codePage};
  // windows-1250..1258 and cp1250..1258.
  for (std::string_view prefix : {"windows", "cp"}) {
    if (n.size() == prefix.size() + 4 && n.compare(0, prefix.size(), prefix) == 0 &&
        n.compare(prefix.size(), 3, "125") == 0 && n.back() >= '0' && n.back() <= '8')
      return {Form::CodePage, static_cast<UINT>(1250 + (n.back() - '0'))};
  }
  // iso-8859-1..16, whose Windows code pages are 28591..28606.
  if (n.size() > 7 && n.compare(0, 7, "iso8859") == 0 && n.find_first_not_of("0123456789", 7) == std::string::npos &&
      n.size() <= 9) {
    int part = std::stoi(n.substr(7));
    if (part >= 1 && part <= 16) return {Form::CodePage, static_cast<UINT>(28590 + part)};
  }
  return {};
}

}  // namespace

bool cp949ToUtf8(std::string_view bytes, std::string& out) {
  std::wstring wide;
  if (!decodeStrict(kKorean, bytes, wide)) return false;
  out = win::narrow(wide);
  return true;
}

bool utf8ToCp949(std::string_view text, std::string& out) {
  out.clear();
  std::wstring wide;
  if (!decodeStrict(CP_UTF8, text, wide)) return false;
  if (wide.empty()) return true;
  for (wchar_t c : wide)
    if (isControlOrPrivate(c) && notInIconv(kKorean, c)) return false;
  int size = static_cast<int>(wide.size());
  BOOL lost = FALSE;
  int n = WideCharToMultiByte(kKorean, WC_NO_BEST_FIT_CHARS, wide.data(), size, nullptr, 0, nullptr, &lost);
  if (n <= 0 || lost) return false;
  out.resize(static_cast<size_t>(n));
  lost = FALSE;
  n = WideCharToMultiByte(kKorean, WC_NO_BEST_FIT_CHARS, wide.data(), size, out.data(), n, nullptr, &lost);
  return n == static_cast<int>(out.size()) && !lost;
}

std::string cp949ToUtf8Lossy(std::string_view bytes) { return decodeLossy(kKorean, bytes); }

std::string cp1252ToUtf8(std::string_view bytes) { return decodeLossy(kWestern, bytes); }

bool charsetToUtf8(std::string_view charset, std::string_view bytes, std::string& out) {
  Charset set = charsetNamed(charset);
  switch (set.form) {
    case Form::Unknown:
      return false;
    case Form::CodePage:
      if (!IsValidCodePage(set.codePage)) return false;
      out = decodeLossy(set.codePage, bytes);
      return true;
    case Form::Utf8:
      out = repairUtf8Bytes(bytes);
      return true;
    case Form::Utf16Le:
      out = utf16leToUtf8(bytes);
      return true;
    case Form::Utf16Be:
      out = utf16leToUtf8(swapPairs(bytes));
      return true;
    case Form::Utf16:  // a byte-order mark decides; big-endian without one
      if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE')
        out = utf16leToUtf8(bytes.substr(2));
      else
        out = utf16leToUtf8(swapPairs(bytes.substr(bytes.size() >= 2 && bytes[0] == '\xFE' && bytes[1] == '\xFF' ? 2 : 0)));
      return true;
    case Form::Utf32Le:
      out = utf32ToUtf8(bytes, false);
      return true;
    case Form::Utf32Be:
      out = utf32ToUtf8(bytes, true);
      return true;
    case Form::Utf32:
      if (bytes.size() >= 4 && bytes.substr(0, 4) == std::string_view("\xFF\xFE\0\0", 4))
        out = utf32ToUtf8(bytes.substr(4), false);
      else
        out = utf32ToUtf8(bytes.substr(bytes.size() >= 4 && bytes.substr(0, 4) == std::string_view("\0\0\xFE\xFF", 4) ? 4 : 0),
                          true);
      return true;
  }
  return false;
}

}  // namespace vell
