// A local file opened and probed on a thread of its own, so that the work overlaps what the
// caller does meanwhile: at start, the window is made while the film named on the command
// line is opened.
#pragma once
#include <string>
#include <thread>

struct AVFormatContext;

namespace vell {

class EarlyOpen {
 public:
  EarlyOpen() = default;
  ~EarlyOpen();  // waits for the thread; what it opened and nobody took is closed
  EarlyOpen(const EarlyOpen&) = delete;
  EarlyOpen& operator=(const EarlyOpen&) = delete;

  // Starts opening `path` (one at a time: an earlier one is waited for and dropped). False
  // when no thread could be started; the file is then opened when it is asked for.
  bool start(const std::string& path);
  // The opened and probed input of `path`, now the caller's; null when none was started for
  // that path or it failed to open (the caller then opens it itself). Waits for the thread.
  AVFormatContext* take(const std::string& path);

 private:
  void drop();

  std::thread thread_;
  std::string path_;
  AVFormatContext* context_ = nullptr;  // written by the thread, read after joining it
};

// Picks one variant of a playlist and reads the streams' parameters, decoding a picture or
// two where the container does not say them; false when the input cannot be probed.
bool probeStreams(AVFormatContext* ctx);

}  // namespace vell
