// FFmpeg's own messages, as the program lets them through.
#pragma once

namespace vell {

// FFmpeg's errors go to the terminal as before, except those of trying a hardware decoding
// device that this machine does not have: decoding then goes on in software, and a failed
// probe on every start is not the user's concern.
void installFfmpegLog();

}  // namespace vell
