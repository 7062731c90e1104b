// Windows: the expected data folders for each environment.
#include "support/DataDirCases.h"

namespace vell::test {

std::vector<DataDirCase> dataDirCases(const std::string& programDir) {
  const std::string roaming = "C:\\Users\\u\\AppData\\Roaming\\Vell Player";
  return {
      {{{"APPDATA", "C:\\Users\\u\\AppData\\Roaming\\"}}, roaming, roaming},
      {{{"APPDATA", "relative\\ignored"}, {"USERPROFILE", "C:\\Users\\u"}}, roaming, roaming},
      {{}, programDir, programDir},  // no profile at all
  };
}

std::string installedCatalogueFolder() { return ""; }

}  // namespace vell::test
