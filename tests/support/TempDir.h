// Test support: a fresh temporary directory removed with the object.
#pragma once
#include <string>

namespace vell::test {

// A fresh directory in the system's temporary folder, removed with its contents when the
// object goes away. Paths use '/' on every target.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  // Writes bytes to file(name), making its folders, and returns its path.
  std::string write(const std::string& name, const std::string& bytes) const;
  std::string read(const std::string& name) const;

 private:
  std::string path_;
};

}  // namespace vell::test
