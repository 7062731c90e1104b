// Path helpers shared by every target: beside the program, a path's parent.
#include "platform/Files.h"

namespace vell {

std::string pathBesideExecutable(std::string_view name) { return executableDir() + "/" + std::string(name); }

std::string parentPath(std::string_view path) {
  size_t cut = path.find_last_of("\\/");
  return cut == std::string_view::npos ? std::string() : std::string(path.substr(0, cut));
}

}  // namespace vell
