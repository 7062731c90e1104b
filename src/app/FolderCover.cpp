// The picture a music folder keeps beside its files (cover.jpg, folder.png, ...).
#include "app/FolderCover.h"

#include "platform/Files.h"
#include "platform/Text.h"

namespace vell {

bool readFolderCover(const std::string& mediaPath, std::string& bytes, std::string& mime) {
  size_t sep = mediaPath.find_last_of("\\/");
  if (sep == std::string::npos || mediaPath.find("://") != std::string::npos) return false;
  const std::string folder = mediaPath.substr(0, sep);
  const std::vector<std::string> names = listDirectory(folder);
  for (const char* stem : {"cover", "folder", "front"})
    for (const char* ext : {".jpg", ".jpeg", ".png"})
      for (const std::string& name : names) {
        if (asciiLower(name) != std::string(stem) + ext) continue;
        if (!readFileLimited(mediaPath.substr(0, sep + 1) + name, 16u << 20, bytes) || bytes.empty()) continue;
        mime = ext[1] == 'p' ? "image/png" : "image/jpeg";
        return true;
      }
  return false;
}

}  // namespace vell
