#include "app/AsyncFileChooser.h"

#include <system_error>

namespace vell {

AsyncFileChooser::~AsyncFileChooser() { cancel(); }

bool AsyncFileChooser::start(const FileDialogOptions& options, Result result) {
  if (open_.load()) return false;
  if (thread_.joinable()) thread_.join();  // the previous chooser has finished
  cancel_ = false;
  open_ = true;
  try {
    thread_ = std::thread([this, options, result = std::move(result)] {
      std::string path = runFileChooser(options, &cancel_);
      if (!cancel_.load()) result(path);
      open_ = false;
    });
  } catch (const std::system_error&) {
    open_ = false;
    return false;
  }
  return true;
}

void AsyncFileChooser::cancel() {
  cancel_ = true;
  if (thread_.joinable()) thread_.join();
  open_ = false;
}

}  // namespace vell
