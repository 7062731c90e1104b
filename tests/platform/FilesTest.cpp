#include <gtest/gtest.h>

#include "platform/Files.h"
#include "support/TempDir.h"

namespace vell {
namespace {

TEST(Files, AtomicWriteReplacesWholeFileAndLeavesNoTemporary) {
  test::TempDir dir;
  std::string path = dir.file("state.ini");
  ASSERT_TRUE(writeFileAtomic(path, "first\n"));
  ASSERT_TRUE(writeFileAtomic(path, "second\n"));
  std::string text;
  ASSERT_TRUE(readFile(path, text));
  EXPECT_EQ(text, "second\n");
  EXPECT_EQ(listDirectory(dir.path()), std::vector<std::string>{"state.ini"});
}

TEST(Files, FailedAtomicWriteKeepsOldFile) {
  test::TempDir dir;
  std::string path = dir.file("keep.ini");
  ASSERT_TRUE(writeFileAtomic(path, "old"));
  // A directory in the way of the rename makes the write fail.
  std::string blocked = dir.file("sub");
  ASSERT_TRUE(makeDirectories(blocked + "/x"));
  EXPECT_FALSE(writeFileAtomic(blocked, "new"));
  std::string text;
  ASSERT_TRUE(readFile(path, text));
  EXPECT_EQ(text, "old");
  EXPECT_EQ(listDirectory(dir.path()), (std::vector<std::string>{"keep.ini", "sub"}));
}

TEST(Files, LimitedReadAndPaths) {
  test::TempDir dir;
  std::string path = dir.write("big.bin", std::string(1000, 'x'));
  std::string out;
  EXPECT_FALSE(readFileLimited(path, 999, out));
  EXPECT_TRUE(readFileLimited(path, 1000, out));
  EXPECT_EQ(out.size(), 1000u);
  EXPECT_FALSE(readFile(dir.file("missing"), out));
  EXPECT_EQ(parentPath("/a/b/c.txt"), "/a/b");
  EXPECT_EQ(parentPath("c.txt"), "");
  EXPECT_TRUE(isDirectory(executableDir()));
}

}  // namespace
}  // namespace vell
