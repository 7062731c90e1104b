// Test support: each target's expected data folders for a given environment.
#pragma once
#include <map>
#include <string>
#include <vector>

namespace vell::test {

// The target's rule for the folders of settings and data: what chooseDataPaths gives for a
// program in `programDir` (without a portable marker) and the environment `env`.
struct DataDirCase {
  std::map<std::string, std::string> env;
  std::string configDir, dataDir;
};
std::vector<DataDirCase> dataDirCases(const std::string& programDir);

// Where the built-in catalogue is found when the program's folder has none, relative to the
// folder above the program's; empty when it is looked for beside the program only.
std::string installedCatalogueFolder();

}  // namespace vell::test
