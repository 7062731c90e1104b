// What every modal window backend does alike: painting its canvas and running over the owner's loop.
#include "platform/ModalWindow.h"

#include "platform/QuitSignal.h"

namespace vell {

void ModalWindow::requestClose() {
  if (onCloseRequest)
    onCloseRequest();
  else
    close();
}

void ModalWindow::giveWay() {
  requestClose();
  if (isOpen()) close();
}

void ModalWindow::paint() {
  dirty_ = false;
  if (!isOpen()) return;
  const int pw = pixels(width_), ph = pixels(height_);
  if (canvas_.width() != pw || canvas_.height() != ph) canvas_.resize(pw, ph);
  canvas_.setScale(scale_);
  canvas_.clear();
  if (onPaint) onPaint(canvas_);
  if (canvas_.pixels()) present();
}

void ModalWindow::run() {
  std::function<bool(int)>* loop = ownerLoop();
  runStarts();
  bool quit = false;
  while (isOpen() && !closing_) {
    if (dirty_) paint();
    if (loop) {
      // The owner's loop goes on: its messages and paints, in order, while the box is up.
      if (!(*loop)(16)) giveWay();  // the program is ending: the box goes with it
      continue;
    }
    // No owner's loop: the box reads the queue itself and keeps what is not its business.
    if (takeQuitSignal()) {  // SIGTERM or SIGINT: the box gives way, the owner's loop quits
      quit = true;
      giveWay();
      break;
    }
    if (readQueue()) quit = true;
  }
  runEnds(quit);
}

}  // namespace vell
