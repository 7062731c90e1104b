#include "platform/Codepage.h"

#include <iconv.h>

#include <cerrno>

namespace vell {

std::string cp949ToUtf8Lossy(std::string_view bytes) {
  std::string out;
  iconv_t cd = iconv_open("UTF-8", "CP949");
  if (cd == reinterpret_cast<iconv_t>(-1)) return out;
  out.reserve(bytes.size() + bytes.size() / 2);
  std::string input(bytes);
  char* in = input.data();
  size_t inLeft = input.size();
  char buffer[4096];
  while (inLeft > 0) {
    char* dst = buffer;
    size_t dstLeft = sizeof buffer;
    size_t r = iconv(cd, &in, &inLeft, &dst, &dstLeft);
    out.append(buffer, sizeof buffer - dstLeft);
    if (r == static_cast<size_t>(-1) && errno != E2BIG) {
      // EILSEQ or a character cut off at the end: replace one byte and carry on.
      out += "\xEF\xBF\xBD";
      ++in;
      --inLeft;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  iconv_close(cd);
  return out;
}

}  // namespace vell
