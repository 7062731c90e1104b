// Test support: test media made by ffmpeg, and host shell commands.
#pragma once
#include <string>

namespace vell::test {

// Test media made by the ffmpeg command-line tool, cached in the build tree by recipe: each
// file is made once per build folder. `ffmpegArgs` is everything between the options and the
// output path; `extension` picks the container. Fails the calling test when ffmpeg fails.
std::string makeMedia(const std::string& ffmpegArgs, const std::string& extension);

// An FFMETADATA file (";FFMETADATA1" then `body`: tags, [CHAPTER] sections) beside the test
// media, named by its content, for a recipe's "-i FILE -map_metadata 1".
std::string metadataFile(const std::string& body);
// One [CHAPTER] section in milliseconds, with a tag line ("title=...") unless `tag` is empty.
std::string chapterSection(int startMs, int endMs, const std::string& tag);
// A file for ffmpeg to read (a subtitle file to mux), kept beside the media by its content:
// its path names the same file for the host's ffmpeg and for the program (under wine too).
std::string mediaInput(const std::string& name, const std::string& bytes);

// A few recipes that many tests share.
std::string sineMp3(double seconds = 2.0, int frequency = 440);     // 44.1 kHz stereo
std::string h264AacMp4(double seconds = 2.0, int width = 320, int height = 240, int fps = 30);

// The whole content of a media file (empty when it cannot be read), for servers to send.
std::string mediaBytes(const std::string& path);

// Runs a command line of the host's shell (/bin/sh, also from a Windows program under wine),
// returns its exit status; output and errors go to `output` when given.
int runCommand(const std::string& command, std::string* output = nullptr);

}  // namespace vell::test
