#pragma once
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

namespace vell::test {

// A fresh directory under /tmp, removed with its contents when the object goes away.
class TempDir {
 public:
  TempDir() {
    if (!mkdtemp(path_.data())) throw std::runtime_error("mkdtemp failed");
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  // Writes bytes to file(name), making its folders, and returns its path.
  std::string write(const std::string& name, const std::string& bytes) const {
    std::string p = file(name);
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(p).parent_path(), ignored);
    std::ofstream(p, std::ios::binary | std::ios::trunc) << bytes;
    return p;
  }
  std::string read(const std::string& name) const {
    std::ifstream in(file(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

 private:
  std::string path_ = "/tmp/vell-test-XXXXXX";
};

}  // namespace vell::test
