// Windows: the thread timer that ticks while a system modal loop runs.
#include "platform/win32/ModalTimer.h"

#include <map>

namespace vell {

namespace {

// Thread timers carry no pointer of their own: found by id (window thread only).
std::map<UINT_PTR, ModalTimer*>& timers() {
  static std::map<UINT_PTR, ModalTimer*> t;
  return t;
}

}  // namespace

ModalTimer::ModalTimer(std::function<void()> tick) : tick_(std::move(tick)) {
  id_ = SetTimer(nullptr, 0, 16, fire);
  if (id_) timers()[id_] = this;
}

ModalTimer::~ModalTimer() {
  if (!id_) return;
  KillTimer(nullptr, id_);
  timers().erase(id_);
}

void CALLBACK ModalTimer::fire(HWND, UINT, UINT_PTR id, DWORD) {
  auto it = timers().find(id);
  if (it == timers().end()) return;
  ModalTimer* t = it->second;
  if (t->running_ || !t->tick_) return;
  t->running_ = true;
  t->tick_();
  t->running_ = false;
}

}  // namespace vell
