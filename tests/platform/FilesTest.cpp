#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/Files.h"
#include "support/TempDir.h"

namespace vell {
namespace {

TEST(Files, AtomicWriteReplacesWholeFileOrFailsLeavingNoTemporary) {
  test::TempDir dir;
  std::string path = dir.file("state.ini"), text;
  ASSERT_TRUE(writeFileAtomic(path, "first\n"));
  ASSERT_TRUE(writeFileAtomic(path, "second\n"));
  ASSERT_TRUE(readFile(path, text));
  EXPECT_EQ(text, "second\n");
  EXPECT_EQ(listDirectory(dir.path()), std::vector<std::string>{"state.ini"});
  // A directory in the way of the rename makes the write fail.
  std::string blocked = dir.file("sub");
  ASSERT_TRUE(makeDirectories(blocked + "/x"));
  EXPECT_FALSE(writeFileAtomic(blocked, "new"));
  ASSERT_TRUE(readFile(path, text));
  EXPECT_EQ(text, "second\n");
  EXPECT_EQ(listDirectory(dir.path()), (std::vector<std::string>{"state.ini", "sub"}));
}

TEST(Files, StaleTemporariesOfOwnFilesAreRemoved) {
  test::TempDir dir;
  pid_t dead = fork();
  if (dead == 0) _exit(0);
  waitpid(dead, nullptr, 0);
  std::string gone = std::to_string(dead), live = std::to_string(getppid()), own = std::to_string(getpid());
  struct Case {
    std::string name;
    bool kept;
  };
  const Case cases[] = {
      {"playlist.dat.tmp" + gone, false},  // its save was killed
      {"vell_player.ini.tmp" + own, false},  // an earlier process with our id
      {"playlist.dat.tmp" + live, true},  // another process may be saving right now
      {"notes.txt.tmp" + gone, true},  // not one of ours
      {"playlist.dat.tmpx1", true},
      {"playlist.dat", true},
  };
  for (const Case& c : cases) dir.write(c.name, "x");
  EXPECT_EQ(removeStaleTemporaries(dir.path(), {"playlist.dat", "vell_player.ini"}), 2);
  for (const Case& c : cases) EXPECT_EQ(fileExists(dir.file(c.name)), c.kept) << c.name;
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
