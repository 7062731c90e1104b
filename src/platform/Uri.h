#pragma once
#include <string>
#include <string_view>

namespace vell {

// "file:///a%20b.mp4" (or "file://localhost/...") -> "/a b.mp4". False for anything else,
// including a file URI of another host or one that decodes to a NUL.
bool fileUriToPath(std::string_view uri, std::string& path);
// "/a b.mp4" -> "file:///a%20b.mp4" (unreserved characters and '/' kept as they are).
std::string pathToFileUri(std::string_view path);

}  // namespace vell
