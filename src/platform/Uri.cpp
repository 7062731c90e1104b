#include "platform/Uri.h"

namespace vell {

namespace {

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

bool fileUriToPath(std::string_view uri, std::string& path) {
  std::string_view rest;
  if (uri.substr(0, 8) == "file:///") {
    rest = uri.substr(7);
  } else if (uri.substr(0, 17) == "file://localhost/") {
    rest = uri.substr(16);
  } else {
    return false;
  }
  std::string out;
  for (size_t i = 0; i < rest.size(); ++i) {
    char c = rest[i];
    if (c == '%' && i + 2 < rest.size()) {
      int hi = hexValue(rest[i + 1]), lo = hexValue(rest[i + 2]);
      if (hi >= 0 && lo >= 0) {
        char decoded = static_cast<char>(hi * 16 + lo);
        if (decoded == '\0') return false;
        out += decoded;
        i += 2;
        continue;
      }
    }
    if (c == '?' || c == '#') break;  // a query or fragment is not part of the path
    out += c;
  }
  path = out;
  return true;
}

std::string pathToFileUri(std::string_view path) {
  static const char* kHex = "0123456789ABCDEF";
  std::string out = "file://";
  for (unsigned char c : path) {
    bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '/' ||
                c == '-' || c == '_' || c == '.' || c == '~';
    if (keep) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

}  // namespace vell
