// file:// URIs to paths and back, in POSIX and Windows path styles.
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

PathStyle nativePathStyle() {
#ifdef _WIN32
  return PathStyle::Windows;
#else
  return PathStyle::Posix;
#endif
}

namespace {

bool isDriveLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// "/C:/x" or the old "/C|/x" of a file URI's path.
bool startsWithDrive(std::string_view p) {
  return p.size() >= 3 && p[0] == '/' && isDriveLetter(p[1]) && (p[2] == ':' || p[2] == '|') &&
         (p.size() == 3 || p[3] == '/');
}

}  // namespace

bool fileUriToPath(std::string_view uri, std::string& path, PathStyle style) {
  const bool windows = style == PathStyle::Windows;
  if (uri.substr(0, 7) != "file://") return false;
  std::string_view rest = uri.substr(7);
  std::string out;
  if (rest.substr(0, 10) == "localhost/") rest.remove_prefix(9);
  if (rest.empty() || rest[0] != '/') {
    // Another host: a share on Windows, nothing we can open elsewhere.
    if (!windows || rest.empty()) return false;
    out = "//";
  } else if (windows && startsWithDrive(rest)) {
    out = {rest[1], ':'};
    rest.remove_prefix(3);
  }
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
  if (windows)
    for (char& c : out)
      if (c == '/') c = '\\';
  path = out;
  return true;
}

std::string pathToFileUri(std::string_view path, PathStyle style) {
  static const char* kHex = "0123456789ABCDEF";
  std::string p(path);
  bool drive = false;
  if (style == PathStyle::Windows) {
    for (char& c : p)
      if (c == '\\') c = '/';
    drive = p.size() >= 2 && isDriveLetter(p[0]) && p[1] == ':';
    if (drive) p.insert(0, "/");
    else if (p.substr(0, 2) == "//") p.erase(0, 2);  // a share: its server is the URI's host
  }
  std::string out = "file://";
  for (size_t i = 0; i < p.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(p[i]);
    bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '/' ||
                c == '-' || c == '_' || c == '.' || c == '~' || (drive && i == 2);
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
