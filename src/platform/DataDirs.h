// Where the settings, the user's data and the built-in catalogue live on each target.
#pragma once
#include <functional>
#include <string>
#include <vector>

namespace vell {

// Where the program's files live. The user's own files sit in the desktop's per-user folders
// so that deleting or reinstalling the program folder never loses them; a program folder marked
// portable keeps everything beside the executable instead.
struct DataPaths {
  std::string configDir;   // settings and the saved playlist
  std::string dataDir;     // playback history and the user's streams
  std::string builtinDir;  // the read-only built-in catalogue
  bool portable = false;

  // Everything in one folder (portable use, tests).
  static DataPaths inOneFolder(const std::string& dir);
  // The folder that holds `name` (one of the program's own file names).
  const std::string& folderFor(const std::string& name) const;
};

// The program's user files and which folder each belongs in.
struct UserFile {
  const char* name;
  bool config;  // true: configDir, false: dataDir
};
const std::vector<UserFile>& userFiles();

using EnvLookup = std::function<const char*(const char*)>;

// Chooses the folders for a program in `programDir`: portable when that folder holds a file
// named "portable", or holds "vell_player.ini" outside a build tree. Otherwise, on Linux,
// $XDG_CONFIG_HOME/vell-player and $XDG_DATA_HOME/vell-player (defaults under $HOME), the
// built-in catalogue beside the program, else in ../share/vell-player; on Windows config and
// data both in %APPDATA%\Vell Player, the built-in catalogue beside the program.
DataPaths chooseDataPaths(const std::string& programDir, const EnvLookup& env);
// The same with the process environment and the running program's folder.
DataPaths dataPathsForProgram();

// Creates the folders and moves user files that an earlier run left in `programDir` into
// them. When the target already exists the old file is moved beside it as "<name>.old" (with a
// number when that is taken), so nothing is lost and nothing is moved twice. Returns the
// paths written, for the log.
std::vector<std::string> prepareDataPaths(const std::string& programDir, const DataPaths& paths);

}  // namespace vell
