// Test support: test media made by ffmpeg and cached by recipe.
#include "support/Media.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>
#include <sstream>

#include "platform/Files.h"

namespace vell::test {

std::string makeMedia(const std::string& ffmpegArgs, const std::string& extension) {
  std::filesystem::create_directories(VELL_TEST_MEDIA_DIR);
  char hash[32];
  snprintf(hash, sizeof hash, "%zx", std::hash<std::string>{}(ffmpegArgs));
  std::string path = std::string(VELL_TEST_MEDIA_DIR) + "/" + hash + "." + extension;
  if (std::filesystem::exists(path)) return path;
  // Write under a private name, then rename: parallel test programs may ask for the same file.
  std::string tmp = path + ".part" + std::to_string(std::random_device{}()) + "." + extension, output;
  int rc = runCommand("ffmpeg -nostdin -y -loglevel error " + ffmpegArgs + " '" + tmp + "'", &output);
  if (rc != 0) {
    std::filesystem::remove(tmp);
    ADD_FAILURE() << "ffmpeg failed (" << rc << "): " << ffmpegArgs << "\n" << output;
    return path;
  }
  // Windows cannot replace a file another test program has open: the one made first stays.
  std::error_code error;
  std::filesystem::rename(tmp, path, error);
  if (error) {
    std::filesystem::remove(tmp, error);
    if (!std::filesystem::exists(path)) ADD_FAILURE() << "cannot keep " << path;
  }
  return path;
}

std::string mediaInput(const std::string& name, const std::string& bytes) {
  std::filesystem::create_directories(VELL_TEST_MEDIA_DIR);
  char hash[32];
  snprintf(hash, sizeof hash, "%zx", std::hash<std::string>{}(bytes));
  std::string path = std::string(VELL_TEST_MEDIA_DIR) + "/" + hash + "-" + name;
  if (!std::filesystem::exists(path) && !writeFileAtomic(path, bytes)) ADD_FAILURE() << "cannot write " << path;
  return path;
}

std::string metadataFile(const std::string& body) { return mediaInput("meta.ffmeta", ";FFMETADATA1\n" + body); }

std::string chapterSection(int startMs, int endMs, const std::string& tag) {
  return "[CHAPTER]\nTIMEBASE=1/1000\nSTART=" + std::to_string(startMs) + "\nEND=" + std::to_string(endMs) + "\n" +
         (tag.empty() ? "" : tag + "\n");
}

std::string sineMp3(double seconds, int frequency) {
  std::ostringstream a;
  a << "-f lavfi -i sine=frequency=" << frequency << ":sample_rate=44100:duration=" << seconds
    << " -ac 2 -c:a libmp3lame -b:a 128k";
  return makeMedia(a.str(), "mp3");
}

std::string h264AacMp4(double seconds, int width, int height, int fps) {
  std::ostringstream a;
  a << "-f lavfi -i testsrc2=size=" << width << "x" << height << ":rate=" << fps << ":duration=" << seconds
    << " -f lavfi -i sine=frequency=440:sample_rate=48000:duration=" << seconds
    << " -c:v libx264 -preset ultrafast -pix_fmt yuv420p -g " << fps << " -c:a aac -b:a 96k -shortest";
  return makeMedia(a.str(), "mp4");
}

std::string mediaBytes(const std::string& path) {
  std::string bytes;
  return readFile(path, bytes) ? bytes : std::string();
}

}  // namespace vell::test
