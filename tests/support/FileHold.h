// Test support: another program holding a file open for a while.
#pragma once
#include <cstdint>
#include <string>

namespace vell::test {

// Another program holding a file for a while, as a virus scanner or the search indexer does
// with a file just saved: on Windows a handle opened without FILE_SHARE_DELETE, which keeps the
// file from being replaced until `ms` have passed (closed from a thread of its own). On Linux
// an open file never stands in the way of a rename: nothing is held there.
class FileHold {
 public:
  FileHold(const std::string& path, int ms);
  ~FileHold();  // waits for the release
  FileHold(const FileHold&) = delete;
  FileHold& operator=(const FileHold&) = delete;

  // Whether the file is really held (false on Linux, or when it could not be opened).
  bool holds() const { return handle_ != 0; }

 private:
  std::intptr_t handle_ = 0;
  std::intptr_t thread_ = 0;
};

}  // namespace vell::test
