// The program's folders: the user files' places and moving files of an earlier run.
#include "platform/DataDirs.h"

#include <filesystem>

#include "platform/Files.h"

namespace vell {

namespace {

// Paths are UTF-8 on every target; a char8_t string says so to std::filesystem.
std::filesystem::path utf8Path(const std::string& path) {
  return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

// Moves `from` to `to`, across file systems too (copy, then remove).
bool moveFile(const std::string& from, const std::string& to) {
  std::error_code ec;
  std::filesystem::rename(utf8Path(from), utf8Path(to), ec);
  if (!ec) return true;
  std::string bytes;
  if (!readFile(from, bytes) || !writeFileAtomic(to, bytes)) return false;
  return removeFile(from);
}

}  // namespace

DataPaths DataPaths::inOneFolder(const std::string& dir) {
  DataPaths p;
  p.configDir = p.dataDir = p.builtinDir = dir;
  p.portable = true;
  return p;
}

const std::vector<UserFile>& userFiles() {
  static const std::vector<UserFile> files = {
      {"vell_player.ini", true},
      {"playlist.dat", true},
      {"podcast_history.ini", false},
      {"streams_user.ini", false},
  };
  return files;
}

const std::string& DataPaths::folderFor(const std::string& name) const {
  for (const auto& f : userFiles())
    if (name == f.name) return f.config ? configDir : dataDir;
  if (name == "streams.ini") return builtinDir;
  return dataDir;
}

std::vector<std::string> prepareDataPaths(const std::string& programDir, const DataPaths& paths) {
  std::vector<std::string> moved;
  makeDirectories(paths.configDir);
  makeDirectories(paths.dataDir);
  if (paths.portable) return moved;
  for (const auto& f : userFiles()) {
    std::string from = programDir + "/" + f.name;
    if (!fileExists(from)) continue;
    std::string to = (f.config ? paths.configDir : paths.dataDir) + "/" + f.name;
    if (from == to) continue;
    if (!fileExists(to)) {
      if (moveFile(from, to)) moved.push_back(to);
      continue;
    }
    // Both exist: the new home keeps its file; the old one goes beside it, never deleted.
    std::string aside = to + ".old";
    for (int n = 1; fileExists(aside) && n < 1000; ++n) aside = to + ".old" + std::to_string(n);
    if (moveFile(from, aside)) moved.push_back(aside);
  }
  return moved;
}

}  // namespace vell
