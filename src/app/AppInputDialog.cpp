// The in-window input dialog: open a URL, add to the playlist, a new playlist category, add
// or edit a stream of the catalogue, and a path when the desktop has no file chooser; its
// fields, keys and mouse while it is open.
#include "app/App.h"
#include "app/InputDialog.h"
#include "platform/Clock.h"
#include "platform/Text.h"
#include "platform/VirtualKeys.h"
#include "render/OverlayLayout.h"
#include "settings/Settings.h"

namespace vell {

namespace {
const Color kFieldText = Color::rgb(0xEBEEF5), kFieldBack = Color::rgb(0x1C1C23);
// Where a field's text goes: 6 in from its box.
RectF fieldPlace(const InputLayout& in, bool nameField) {
  const RectF& b = nameField ? in.nameBox : in.urlBox;
  return RectF{b.left + 6, b.top + 6, b.right - 6, b.bottom - 6};
}
}  // namespace

void App::openInputDialog(bool urlOnly, const std::string& streamId, bool podcast) {
  if (input.open) return;
  input.open = true;
  input.urlOnly = urlOnly;
  input.streamId = streamId;
  input.podcast = podcast;
  input.font = TextFormat::create(kUiFontFamilies, 400, 14, TextAlign::Leading, ParagraphAlign::Center, false);
  input.nameEdit.reset();
  if (!urlOnly) input.nameEdit = std::make_unique<InputField>();
  input.urlEdit = std::make_unique<InputField>();

  if (!streamId.empty()) {
    if (const StreamEntry* e = catalog.findById(streamId)) {
      if (input.nameEdit) input.nameEdit->setText(e->name);
      input.urlEdit->setText(e->url);
      input.urlEdit->selectAll();
    }
    input.focusedField = 2;
  } else {
    if (!isPathUse(input.use)) {
      std::string clip = Window::clipboardText();
      if (clipboardPrefills(clip)) input.urlEdit->setText(clip);
    }
    input.focusedField = urlOnly ? 2 : 1;
  }
  window.startTextInput();
  uint32_t now = tickCount();
  input.urlEdit->drawn.touch(now);
  if (input.nameEdit) input.nameEdit->drawn.touch(now);
}

void App::closeInputDialog() {
  if (!input.open) return;
  input.nameEdit.reset();
  input.urlEdit.reset();
  input.font = TextFormat{};
  input.open = false;
  input.hover = -1;
  input.streamId.clear();
  input.podcast = false;
  input.urlOnly = true;
  input.use = InputUse::OpenUrl;
  input.focusedField = 0;
  input.caretRect = RectF{};  // the next dialog places the candidates again
  // The stream browser's search keeps its typing, its candidates back beside its box.
  if (view.browserOpen)
    placeBrowserTextInput();
  else
    window.stopTextInput();
}

void App::submitInputDialog() {
  if (!input.open || !input.urlEdit) return;
  std::string name = input.nameEdit ? readFieldText(input.nameEdit->text()) : std::string();
  std::string url = readFieldText(input.urlEdit->text());
  if (url.empty()) {
    closeInputDialog();
    return;
  }
  if (isPathUse(input.use)) {
    InputUse use = input.use;
    closeInputDialog();
    if (use == InputUse::OpenFilePath) {
      openPath(url);
    } else if (use == InputUse::QueueFilePath) {
      playlist.addFile(url);
      showToast("재생목록에 추가됨", 1000);
    } else {
      openSubtitleFile(url);
    }
    return;
  }
  if (name.empty() && input.use != InputUse::NewCategory) name = defaultStreamName(url);

  if (!input.streamId.empty()) {
    const StreamEntry* found = catalog.findById(input.streamId);
    if (!found) {
      closeInputDialog();
      showToast("스트림을 찾을 수 없음", 1200);
      return;
    }
    StreamEntry copy = *found;
    copy.name = name;
    copy.url = url;
    if (copy.isUser) {
      catalog.deleteUserStream(copy.id);
      catalog.addUserStream(copy);
    } else {
      catalog.editBuiltin(copy.id, copy);
    }
    rebuildBrowserRows();
    closeInputDialog();
    showToast("저장되었습니다", 1200);
    return;
  }
  if (input.use == InputUse::NewCategory) {
    playlist.addCategory(url);
    closeInputDialog();
    showToast("카테고리 추가: " + url, 1200);
    return;
  }
  if (input.use == InputUse::AddToPlaylist) {
    std::string category = input.category;
    closeInputDialog();
    playlist.addStream(url, name, category);
    playlist.visible = true;
    showToast("재생목록에 추가됨", 1000);
    return;
  }
  if (!input.urlOnly) {
    StreamEntry e;
    e.type = streamTypeForUrl(url, input.podcast);
    e.id = catalog.newUserId(tickCount());
    e.name = name;
    e.genre = "사용자";
    e.description = "사용자 추가";
    e.url = url;
    catalog.addUserStream(e);
    rebuildBrowserRows();
    closeInputDialog();
    showToast("추가되었습니다", 1200);
    return;
  }
  bool podcast = openUrlPodcastFlag(url);
  closeInputDialog();
  openMedia(url, name, podcast);
}

InputField* App::focusedInputField() {
  return input.focusedField == 1 && input.nameEdit ? input.nameEdit.get() : input.urlEdit.get();
}

void App::inputDialogKey(int key, bool ctrl, bool shift) {
  InputField* field = focusedInputField();
  if (!field) return;
  if (key == vk::Tab && input.nameEdit && field->drawn.edit.composition().empty()) {
    input.focusedField = input.focusedField == 1 ? 2 : 1;
    return;
  }
  switch (field->drawn.onKey(key, ctrl, shift)) {
    case FieldKey::Submit: submitInputDialog(); return;
    case FieldKey::Cancel: closeInputDialog(); return;
    default: field->drawn.touch(tickCount()); return;
  }
}

void App::inputDialogMouseDown(int x, int y, int clicks, bool shift) {
  int w = 0, h = 0;
  clientSize(w, h);
  InputLayout in = computeInputLayout(static_cast<float>(w), static_cast<float>(h), !input.urlOnly);
  float fx = static_cast<float>(x), fy = static_cast<float>(y);
  if (in.ok.contains(fx, fy)) {
    submitInputDialog();
    return;
  }
  if (in.cancel.contains(fx, fy) || !in.dialog.contains(fx, fy)) {
    closeInputDialog();
    return;
  }
  bool onName = input.nameEdit && in.nameBox.contains(fx, fy);
  input.focusedField = onName || !input.urlEdit ? 1 : 2;
  InputField* field = onName ? input.nameEdit.get() : input.urlEdit.get();
  if (!field) return;
  if (onName || in.urlBox.contains(fx, fy)) field->drawn.onMouseDown(fx, clicks, shift);
  field->drawn.touch(tickCount());
}

void App::inputDialogMouseMove(int x, int y) {
  int w = 0, h = 0;
  clientSize(w, h);
  InputLayout in = computeInputLayout(static_cast<float>(w), static_cast<float>(h), !input.urlOnly);
  float fx = static_cast<float>(x), fy = static_cast<float>(y);
  input.hover = in.cancel.contains(fx, fy) ? 0 : in.ok.contains(fx, fy) ? 1 : -1;
  for (InputField* f : {input.nameEdit.get(), input.urlEdit.get()})
    if (f && f->drawn.dragging()) f->drawn.onMouseDrag(fx);
}

void App::inputDialogMouseUp() {
  for (InputField* f : {input.nameEdit.get(), input.urlEdit.get()})
    if (f) f->drawn.onMouseUp();
}

void App::drawInputFields(Canvas& c, const UiResources& r, const OverlayState& s, const InputLayout& in) {
  auto one = [&](InputField* f, bool name, bool focused) {
    if (!f) return;
    RectF place = fieldPlace(in, name);
    if (place.width() <= 1) return;
    c.fillRect(place, kFieldBack);
    RectF caret =
        f->drawn.draw(c, place, input.font, kFieldText, r.accent.withOpacity(0.6f), s.tick, focused && view.windowActive);
    if (focused && (caret.left != input.caretRect.left || caret.top != input.caretRect.top)) {
      input.caretRect = caret;
      window.setTextInputRect(toPixels(caret.left), toPixels(caret.top), 1, toPixels(caret.height()));
    }
  };
  if (!input.font.valid()) return;
  one(input.nameEdit.get(), true, input.focusedField == 1);
  one(input.urlEdit.get(), false, input.focusedField == 2);
}

}  // namespace vell
