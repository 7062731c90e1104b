// file:// URIs and the paths they name, in either path style.
#pragma once
#include <string>
#include <string_view>

namespace vell {

// How the system writes paths: "/a/b", or "C:\a\b" and "\\server\share\b".
enum class PathStyle { Posix, Windows };
PathStyle nativePathStyle();

// "file:///a%20b.mp4" (or "file://localhost/...") -> "/a b.mp4". False for anything else,
// including one that decodes to a NUL, and on POSIX a file URI of another host. Windows style:
// "file:///C:/a" -> "C:\a", "file://server/share/a" -> "\\server\share\a".
bool fileUriToPath(std::string_view uri, std::string& path, PathStyle style = nativePathStyle());
// "/a b.mp4" -> "file:///a%20b.mp4" (unreserved characters and '/' kept as they are); Windows
// style also turns drive and server paths into their URIs.
std::string pathToFileUri(std::string_view path, PathStyle style = nativePathStyle());

}  // namespace vell
