// Linux (iconv): CP949, CP1252 and named character sets to and from UTF-8.
#include "platform/Text.h"

#include <iconv.h>

#include <cerrno>

namespace vell {

namespace {

// With `lossy`, each byte that does not start a valid character (or is cut off at the end)
// becomes U+FFFD and conversion goes on with the next byte; without it the first such byte
// fails the whole conversion.
bool convert(const char* to, const char* from, std::string_view bytes, std::string& out, bool lossy = false) {
  out.clear();
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  out.reserve(bytes.size() + bytes.size() / 2);
  std::string input(bytes);
  char* in = input.data();
  size_t inLeft = input.size();
  char buffer[4096];
  bool ok = true;
  while (inLeft > 0) {
    char* dst = buffer;
    size_t dstLeft = sizeof buffer;
    size_t r = iconv(cd, &in, &inLeft, &dst, &dstLeft);
    out.append(buffer, sizeof buffer - dstLeft);
    if (r == static_cast<size_t>(-1) && errno != E2BIG) {
      if (!lossy) {
        ok = false;
        break;
      }
      out += "\xEF\xBF\xBD";
      // glibc's CP949 consumes some bad pairs whole before it fails.
      if (inLeft == 0) break;
      ++in;
      --inLeft;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  if (ok) {
    char* dst = buffer;
    size_t dstLeft = sizeof buffer;
    iconv(cd, nullptr, nullptr, &dst, &dstLeft);
    out.append(buffer, sizeof buffer - dstLeft);
  }
  iconv_close(cd);
  return ok;
}

}  // namespace

bool cp949ToUtf8(std::string_view bytes, std::string& out) { return convert("UTF-8", "CP949", bytes, out); }

std::string cp949ToUtf8Lossy(std::string_view bytes) {
  std::string out;
  convert("UTF-8", "CP949", bytes, out, true);
  return out;
}

bool utf8ToCp949(std::string_view text, std::string& out) { return convert("CP949", "UTF-8", text, out); }

std::string cp1252ToUtf8(std::string_view bytes) {
  std::string out;
  convert("UTF-8", "CP1252", bytes, out, true);
  return out;
}

bool charsetToUtf8(std::string_view charset, std::string_view bytes, std::string& out) {
  std::string name(charset);
  iconv_t probe = iconv_open("UTF-8", name.c_str());
  if (probe == reinterpret_cast<iconv_t>(-1)) return false;
  iconv_close(probe);
  convert("UTF-8", name.c_str(), bytes, out, true);
  return true;
}

}  // namespace vell
