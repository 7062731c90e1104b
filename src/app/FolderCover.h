// The picture a music folder keeps beside its files (cover.jpg, folder.png, ...).
#pragma once
#include <string>

namespace vell {

// The bytes of the cover picture in the folder of the local file `mediaPath`: "cover", "folder"
// or "front" with ".jpg", ".jpeg" or ".png", in that order, in any letter case; at most 16 MB.
// False when there is none (or the path is no local file).
bool readFolderCover(const std::string& mediaPath, std::string& bytes, std::string& mime);

}  // namespace vell
