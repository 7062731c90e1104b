// Linux: the expected XDG data folders for each environment.
#include "support/DataDirCases.h"

namespace vell::test {

std::vector<DataDirCase> dataDirCases(const std::string&) {
  return {
      {{{"HOME", "/home/u"}}, "/home/u/.config/vell-player", "/home/u/.local/share/vell-player"},
      {{{"HOME", "/home/u"}, {"XDG_CONFIG_HOME", "/c"}, {"XDG_DATA_HOME", "relative/ignored"}},
       "/c/vell-player",
       "/home/u/.local/share/vell-player"},
  };
}

std::string installedCatalogueFolder() { return "share/vell-player"; }

}  // namespace vell::test
