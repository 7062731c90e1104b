// Test support: the temporary directory, its files and its removal.
#include "support/TempDir.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace vell::test {

namespace fs = std::filesystem;

TempDir::TempDir() {
  static std::mt19937_64 random{std::random_device{}()};
  fs::path base = fs::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    fs::path p = base / ("vell-test-" + std::to_string(random() % 1000000000000ull));
    if (fs::create_directory(p)) {
      path_ = p.generic_string();
      return;
    }
  }
  throw std::runtime_error("no temporary directory");
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(fs::u8path(path_), ec);
}

std::string TempDir::write(const std::string& name, const std::string& bytes) const {
  fs::path p = fs::u8path(file(name));
  std::error_code ignored;
  fs::create_directories(p.parent_path(), ignored);
  std::ofstream(p, std::ios::binary | std::ios::trunc) << bytes;
  return file(name);
}

std::string TempDir::read(const std::string& name) const {
  std::ifstream in(fs::u8path(file(name)), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace vell::test
