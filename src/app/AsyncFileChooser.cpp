// The file chooser's thread: starting it, delivering its path, cancelling and waiting.
#include "app/AsyncFileChooser.h"

#include <system_error>

#include "platform/Clock.h"

namespace vell {

AsyncFileChooser::~AsyncFileChooser() { cancel(); }

bool AsyncFileChooser::start(const FileDialogOptions& options, Result result) {
  if (isOpen()) return false;
  if (thread_.joinable()) thread_.join();  // the previous chooser has finished
  auto state = std::make_shared<State>();
  state->open = true;
  try {
    thread_ = std::thread([state, runner = runner_, options, result = std::move(result)] {
      std::string path = runner(options, &state->cancel);
      if (!state->cancel.load()) result(path);
      state->open = false;
    });
  } catch (const std::system_error&) {
    return false;
  }
  state_ = std::move(state);
  return true;
}

void AsyncFileChooser::requestCancel() {
  if (state_) state_->cancel = true;
}

void AsyncFileChooser::cancel(int waitMs) {
  requestCancel();
  if (!thread_.joinable()) return;
  for (uint32_t start = tickCount(); state_->open.load() && tickCount() - start < static_cast<uint32_t>(waitMs);)
    sleepMs(5);
  if (state_->open.load())
    thread_.detach();
  else
    thread_.join();
  state_.reset();  // what it leaves behind is no longer this chooser's
}

}  // namespace vell
