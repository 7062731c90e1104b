// Drawing the stream browser's rows, hit testing them and editing its search text; window thread.
#include "browser/StreamBrowser.h"

#include <algorithm>
#include <cmath>

#include "platform/Text.h"

namespace vell {

namespace {

constexpr float kPi = 3.14159265358979f;

// Removes control characters (the input method and the keyboard deliver none, but a
// pasted composition might).
std::string printable(std::string_view text) {
  std::string out;
  for (char ch : text)
    if (static_cast<unsigned char>(ch) >= 0x20 && ch != 0x7F) out += ch;
  return out;
}

}  // namespace

std::string StreamBrowser::episodeText(const PodcastEpisode& e) {
  return e.date.empty() ? e.title : e.date + "  " + e.title;
}

std::string StreamBrowser::cutEpisodeText(std::string_view text) {
  if (utf8Length(text) <= 40) return std::string(text);
  return utf8Prefix(text, 38) + "..";
}

bool StreamBrowser::catalogueChanged() const {
  if (!catalogue) return !rows.empty();
  return catalogue->radioStreams().data() != radioData_ || catalogue->radioStreams().size() != radioCount_ ||
         catalogue->podcastStreams().data() != podcastData_ || catalogue->podcastStreams().size() != podcastCount_;
}

void StreamBrowser::rebuildRows() {
  rows.clear();
  radioData_ = podcastData_ = nullptr;
  radioCount_ = podcastCount_ = 0;
  rowsMode = mode;
  if (!catalogue) return;
  radioData_ = catalogue->radioStreams().data();
  radioCount_ = catalogue->radioStreams().size();
  podcastData_ = catalogue->podcastStreams().data();
  podcastCount_ = catalogue->podcastStreams().size();

  // A selected podcast lists its episodes under it, in the search results too.
  auto addEntry = [&](const StreamEntry* e) {
    rows.push_back({BrowserRow::Entry, e, -1, e->name});
    if (mode != 1 || expandedPodcast.empty() || e->id != expandedPodcast) return;
    for (size_t i = 0; i < episodes.size(); ++i)
      rows.push_back({BrowserRow::Episode, nullptr, static_cast<int>(i), episodeText(episodes[i])});
  };
  if (!searchText.empty()) {
    for (const StreamEntry* e : mode == 0 ? catalogue->searchRadio(searchText) : catalogue->searchPodcasts(searchText))
      addEntry(e);
    return;
  }
  if (mode == 0) {
    for (const std::string& genre : catalogue->radioGenres()) {
      rows.push_back({BrowserRow::Header, nullptr, -1, genre});
      for (const StreamEntry* e : catalogue->radioByGenre(genre)) addEntry(e);
    }
    return;
  }
  for (const std::string& genre : catalogue->podcastGenres()) {
    rows.push_back({BrowserRow::Header, nullptr, -1, genre});
    for (const StreamEntry* e : catalogue->podcastsByGenre(genre)) addEntry(e);
  }
}

void StreamBrowser::ensureRows() {
  if (rowsMode != mode || catalogueChanged()) rebuildRows();
}

int StreamBrowser::visibleRows(const RectF& panel) const {
  float listHeight = panel.bottom - listTop(panel);
  return std::max(1, 1 + static_cast<int>(std::floor(std::max(0.0f, listHeight) / kRowHeight)));
}

void StreamBrowser::clampScroll(const RectF& panel) {
  int most = std::max(0, static_cast<int>(rows.size()) - visibleRows(panel));
  scroll = std::clamp(scroll, 0, most);
}

std::vector<StreamBrowser::Placed> StreamBrowser::place(const RectF& panel, float& end) const {
  std::vector<Placed> out;
  float y = listTop(panel);
  size_t i = static_cast<size_t>(std::max(0, scroll));
  for (; i < rows.size() && y < panel.bottom; ++i) {
    float h = rows[i].kind == BrowserRow::Episode ? kEpisodeHeight : kRowHeight;
    out.push_back({static_cast<int>(i), y, y + h});
    y += h;
  }
  // Rows left over: nothing comes below them.
  end = i < rows.size() ? std::max(y, panel.bottom) : y;
  return out;
}

float StreamBrowser::addBandTop(const RectF&, float end) const {
  float y = end;
  if (loading && mode == 1) y += kSpinnerHeight;
  return y + 4;
}

void StreamBrowser::draw(Canvas& c, const UiResources& r, const RectF& panel, uint32_t tick) {
  ensureRows();
  clampScroll(panel);
  const float x = panel.left, y = panel.top, w = panel.width(), bottom = panel.bottom;

  c.fillRect(panel, r.panel);
  c.fillRect(RectF{x, y, x + 1, bottom}, r.surface2D2D37);
  c.fillRect(RectF{x, y, x + w, y + kHeaderHeight}, r.surface262630at80);
  c.fillRect(RectF{x, y, x + 3, y + kHeaderHeight}, r.accent);
  c.drawText(mode == 0 ? "라디오" : "팟캐스트", r.label12, RectF{x + 14, y, x + w - 40, y + kHeaderHeight}, r.text);
  c.drawLine(PointF{x + w - 28, y + 12}, PointF{x + w - 16, y + 24}, r.textDim, 1.4f);
  c.drawLine(PointF{x + w - 16, y + 12}, PointF{x + w - 28, y + 24}, r.textDim, 1.4f);

  // Tabs.
  const float half = w / 2;
  for (int tab = 0; tab < 2; ++tab) {
    RectF t{x + tab * half, y + kHeaderHeight, x + (tab + 1) * half, y + kTabsBottom};
    bool active = tab == mode;
    if (active) {
      c.fillRect(t, r.panel);
      c.fillRect(RectF{t.left + 12, y + 65, t.right - 12, y + 68}, r.accent);
    }
    c.drawText(tab == 0 ? "라디오" : "팟캐스트", r.small10, t, active ? r.accent : r.textMuted);
  }
  c.fillRect(RectF{x, y + 67, x + w, y + 68}, r.separator30);

  // Search box.
  if (searchShown()) {
    const float top = y + kListTop, sb = top + kSearchHeight;
    c.fillRect(RectF{x, top, x + w, sb}, r.background);
    std::string shown = searchText + composition;
    if (shown.empty()) {
      c.drawText("검색...", r.tiny9Trailing, RectF{x + 12, top, x + w - 8, sb}, r.textDim);
    } else {
      c.pushClip(RectF{x + 12, top, x + w - 30, sb});
      c.drawText(shown, r.small11NoWrap, RectF{x + 12, top, x + w - 30, sb}, r.text);
      c.popClip();
      c.drawText("✕", r.small10, RectF{x + w - 28, top, x + w - 4, sb}, r.textDim);
    }
    c.fillRect(RectF{x, sb - 1, x + w, sb}, r.separator30);
  }

  // The list.
  const float top = listTop(panel);
  if (bottom <= top) return;
  c.pushClip(RectF{x, top, x + w, bottom});
  float end = 0;
  const TextFormat nameFormat = r.small11NoWrap.withEllipsis(true);
  for (const Placed& p : place(panel, end)) {
    const BrowserRow& row = rows[p.row];
    const float t = p.top, b = p.bottom;
    const bool hovered = p.row == hoverRow;
    if (row.kind == BrowserRow::Header) {
      c.fillRect(RectF{x, t, x + w, b}, r.surface262630at80);
      c.fillRect(RectF{x + 8, t + 17, x + 12, t + 19}, r.accent);
      c.drawText(row.text, r.small10, RectF{x + 16, t, x + w - 8, b}, r.textDim);
      continue;
    }
    if (row.kind == BrowserRow::Entry) {
      bool current = row.entry && !currentStreamId.empty() && row.entry->id == currentStreamId;
      if (current) {
        c.fillRect(RectF{x, t, x + w, b}, r.accent15);
        c.fillRect(RectF{x, t, x + 4, b}, r.accent);
      } else if (hovered) {
        c.fillRect(RectF{x, t, x + w, b}, r.surface262630at50);
      }
      c.drawText(row.text, nameFormat, RectF{x + 14, t, x + 0.58f * w - 4, b}, current ? r.accent : r.text);
      if (row.entry && !row.entry->description.empty())
        c.drawText(row.entry->description, r.tiny9Trailing, RectF{x + 0.58f * w, t, x + w - 10, b}, r.textMuted);
    } else {
      const PodcastEpisode* e =
          row.index >= 0 && row.index < static_cast<int>(episodes.size()) ? &episodes[row.index] : nullptr;
      bool playing = e && !currentEpisodeUrl.empty() && e->url == currentEpisodeUrl;
      if (playing) {
        c.fillRect(RectF{x, t, x + w, b}, r.accent15);
        c.fillRect(RectF{x, t, x + 3, b}, r.accent);
      } else if (hovered) {
        c.fillRect(RectF{x, t, x + w, b}, r.surface262630at50);
      }
      bool finished = false;
      if (history && e) {
        finished = history->isFinished(e->url);
        float progress = finished ? 0 : history->progress(e->url);
        if (finished) {
          c.fillEllipse(PointF{x + 16, (t + b) / 2}, 3, 3, r.accent);
        } else if (progress > 0.01f) {
          c.fillRect(RectF{x + 13, t + 4, x + 19, t + 26}, r.separator30);
          c.fillRect(RectF{x + 13, t + 26 - 22 * progress, x + 19, t + 26}, r.accent);
        }
      }
      Color color = playing ? r.accent : finished ? r.textMuted : r.textDim;
      c.drawText(cutEpisodeText(row.text), r.tiny9Trailing, RectF{x + 24, t, x + w - 8, b}, color);
    }
    c.fillRect(RectF{x + 12, b - 1, x + w - 4, b}, r.separator30);
  }

  if (end < bottom) {
    float below = end;
    if (loading && mode == 1) {
      const float cx = x + w / 2, cy = end + 18;
      const float phi = 2 * kPi * static_cast<float>(tick % 1000) / 1000.0f;
      for (int i = 0; i < 8; ++i) {
        float a = phi + 2 * kPi * i / 8;
        c.drawLine(PointF{cx + 6 * std::cos(a), cy + 6 * std::sin(a)}, PointF{cx + 10 * std::cos(a), cy + 10 * std::sin(a)},
                   r.accent.withOpacity(i * 0.125f), 1.5f);
      }
      c.drawText("에피소드 로딩 중...", r.tiny9Trailing, RectF{x + 8, end + 32, x + w - 8, end + 50}, r.textMuted);
      below = end + kSpinnerHeight;
    }
    below += 4;
    if (bottom - below >= 36) {
      const float cx = x + w / 2;
      c.drawRoundedRect(RectF{cx - 50, below + 2, cx + 50, below + 32}, 14, r.accent, 1);
      c.drawText(mode == 0 ? "+ 라디오 추가" : "+ 팟캐스트 추가", r.small10, RectF{cx - 50, below + 2, cx + 50, below + 32},
                 r.accent);
    }
  }
  c.popClip();
}

int StreamBrowser::hitTest(float x, float y, const RectF& panel) {
  if (!panel.contains(x, y)) {
    hoverRow = -1;
    return kBrowserNothing;
  }
  ensureRows();
  clampScroll(panel);
  hoverRow = -1;  // no row stays lit while the pointer is on the header or the tabs
  if (y < panel.top + kHeaderHeight && x > panel.right - 36) return kBrowserClose;
  if (y >= panel.top + kHeaderHeight && y < panel.top + kTabsBottom)
    return x < panel.left + panel.width() / 2 ? kBrowserRadioTab : kBrowserPodcastTab;
  if (searchShown() && y >= panel.top + kListTop && y < listTop(panel)) {
    bool cross = !(searchText.empty() && composition.empty()) && x >= panel.right - 28;
    return cross ? kBrowserSearchClear : kBrowserSearch;
  }
  float end = 0;
  for (const Placed& p : place(panel, end)) {
    if (y < p.top || y >= p.bottom) continue;
    hoverRow = p.row;
    const BrowserRow& row = rows[p.row];
    if (row.kind == BrowserRow::Entry) {
      pointedRow = p.row;
      return kBrowserEntry;
    }
    if (row.kind == BrowserRow::Episode) {
      pointedEpisode = row.index;
      return kBrowserEpisode;
    }
    return kBrowserNothing;
  }
  if (end < panel.bottom) {
    float band = addBandTop(panel, end);
    if (band < panel.bottom - 10 && y >= band && y < band + 34) return kBrowserAdd;
  }
  return kBrowserNothing;
}

const StreamEntry* StreamBrowser::entryAt(float x, float y, const RectF& panel) {
  if (hitTest(x, y, panel) != kBrowserEntry) return nullptr;
  return rows[pointedRow].entry;
}

const PodcastEpisode* StreamBrowser::episodeAt(float x, float y, const RectF& panel) {
  if (hitTest(x, y, panel) != kBrowserEpisode) return nullptr;
  if (pointedEpisode < 0 || pointedEpisode >= static_cast<int>(episodes.size())) return nullptr;
  return &episodes[pointedEpisode];
}

bool StreamBrowser::typeText(std::string_view text) {
  std::string add = printable(text);
  if (add.empty() || searchText.size() + add.size() > 1024) return false;
  searchText += add;
  searchFocused = true;
  scroll = 0;
  rebuildRows();
  return true;
}

bool StreamBrowser::backspace() {
  if (searchText.empty()) return false;
  size_t cut = searchText.size() - 1;
  while (cut > 0 && (static_cast<unsigned char>(searchText[cut]) & 0xC0) == 0x80) --cut;
  searchText.erase(cut);
  scroll = 0;
  rebuildRows();
  return true;
}

bool StreamBrowser::clearSearch() {
  bool changed = !searchText.empty() || searchFocused;
  searchText.clear();
  searchFocused = false;
  composition.clear();
  scroll = 0;
  rebuildRows();
  return changed;
}

bool StreamBrowser::warmHost(const StreamEntry& entry) {
  if (entry.url.empty()) return false;
  return warmup_.warm(urlHost(entry.url));
}

}  // namespace vell
