// One opened FFmpeg input: open, probe, read, seek, titles; any thread, one at a time under its lock.
#include "engine/MediaSource.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/opt.h>
}

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "engine/OpenOptions.h"
#include "engine/StationText.h"
#include "engine/StreamTracks.h"
#include "engine/VideoFrame.h"
#include "platform/Clock.h"
#include "platform/Log.h"

namespace vell {

namespace {

// True once `deadline` (a tick count) has passed; 0 is no deadline.
bool tickPassed(uint32_t deadline) {
  return deadline != 0 && static_cast<int32_t>(tickCount() - deadline) >= 0;
}

// A chained Ogg stream's song: "ARTIST - TITLE", or the title alone.
std::string songOf(const AVDictionary* tags) {
  const AVDictionaryEntry* title = av_dict_get(tags, "title", nullptr, 0);
  if (!title || !title->value[0]) return {};
  const AVDictionaryEntry* artist = av_dict_get(tags, "artist", nullptr, 0);
  return oneLineTitle(artist && artist->value[0] ? std::string(artist->value) + " - " + title->value : title->value);
}

// The song title the input itself reports: a station's ICY block, else a file's title tag.
std::string containerTitle(AVFormatContext* ctx) {
  // The block as the server sent it: FFmpeg's own split cuts a title at its first "';".
  uint8_t* block = nullptr;
  if (av_opt_get(ctx, "icy_metadata_packet", AV_OPT_SEARCH_CHILDREN, &block) >= 0 && block) {
    std::string title = icyStreamTitle(reinterpret_cast<const char*>(block));
    av_free(block);
    if (!title.empty()) return oneLineTitle(title);
  }
  for (const char* key : {"StreamTitle", "icy-title"})
    if (const AVDictionaryEntry* e = av_dict_get(ctx->metadata, key, nullptr, 0))
      return oneLineTitle(stationText(e->value));
  const AVDictionaryEntry* e = av_dict_get(ctx->metadata, "title", nullptr, 0);
  return e ? oneLineTitle(e->value) : std::string();
}

}  // namespace

MediaSource::MediaSource() = default;

MediaSource::~MediaSource() {
  abortRequested.store(true);
  close();
}

int MediaSource::interruptCallback(void* opaque) {
  auto* self = static_cast<MediaSource*>(opaque);
  if (self->abortRequested.load()) return 1;
  const std::atomic<bool>* cancel = self->cancel_.load();
  if (cancel && cancel->load()) return 1;
  return self->openBudgetSpent() ? 1 : 0;
}

// Only while an open runs: its deadline, its nested opens and the bytes they read.
bool MediaSource::openBudgetSpent() {
  std::lock_guard<std::mutex> lock(guardLock_);
  if (!guard_.active) return false;
  if (tickPassed(guard_.deadline) || guard_.opens > kMaxNestedOpens) return true;
  int64_t bytes = 0;
  for (AVIOContext* pb : guard_.inputs) bytes += pb->bytes_read;
  // A playlist is text: its parser keeps every entry, so it gets the smaller bound.
  bool playlist = guard_.context && guard_.context->iformat && std::strcmp(guard_.context->iformat->name, "hls") == 0;
  return bytes > (playlist ? kMaxPlaylistBytes : kMaxOpenBytes);
}

int MediaSource::ioOpen(AVFormatContext* s, AVIOContext** pb, const char* url, int flags, AVDictionary** options) {
  auto* self = static_cast<MediaSource*>(s->opaque);
  {
    std::lock_guard<std::mutex> lock(self->guardLock_);
    if (self->guard_.active && ++self->guard_.opens > kMaxNestedOpens) return AVERROR(EMLINK);
  }
  // The input itself (not a playlist's part) may be opened again below, with the same options.
  const bool input = pb == &s->pb;
  AVDictionary* again = nullptr;
  if (input && options) av_dict_copy(&again, *options, 0);
  int rc = self->defaultIoOpen_(s, pb, url, flags, options);
  if (rc >= 0 && *pb && input) reopenAtRedirectTarget(s, pb, url, flags, &again);
  av_dict_free(&again);
  if (rc >= 0 && *pb) {
    std::lock_guard<std::mutex> lock(self->guardLock_);
    if (self->guard_.active) self->guard_.inputs.push_back(*pb);
  }
  return rc;
}

// FFmpeg takes every redirect without an expiry as temporary: each seek of a file behind one
// asks the redirecting server again (a podcast's tracker, counting a listen each time). A
// seekable input that was redirected is opened once more at the address it ended up at, so
// that its seeks go straight there. A live stream cannot seek and keeps its one connection.
void MediaSource::reopenAtRedirectTarget(AVFormatContext* s, AVIOContext** pb, const char* url, int flags,
                                         AVDictionary** options) {
  auto* self = static_cast<MediaSource*>(s->opaque);
  if (!((*pb)->seekable & AVIO_SEEKABLE_NORMAL)) return;
  if (s->iformat && std::strcmp(s->iformat->name, "hls") == 0) return;  // a playlist is read once
  uint8_t* value = nullptr;
  if (av_opt_get(*pb, "location", AV_OPT_SEARCH_CHILDREN, &value) < 0 || !value) return;
  std::string location(reinterpret_cast<char*>(value));
  av_free(value);
  if (location == url || !isRemoteHttp(location)) return;
  AVIOContext* direct = nullptr;
  if (self->defaultIoOpen_(s, &direct, location.c_str(), flags, options) < 0 || !direct) return;
  if (!(direct->seekable & AVIO_SEEKABLE_NORMAL)) {
    self->defaultIoClose_(s, direct);
    return;
  }
  self->defaultIoClose_(s, *pb);
  *pb = direct;
}

int MediaSource::ioClose(AVFormatContext* s, AVIOContext* pb) {
  auto* self = static_cast<MediaSource*>(s->opaque);
  {
    std::lock_guard<std::mutex> lock(self->guardLock_);
    auto& v = self->guard_.inputs;
    v.erase(std::remove(v.begin(), v.end(), pb), v.end());
  }
  return self->defaultIoClose_(s, pb);
}

bool MediaSource::open(const std::string& url, bool podcastRequest, const std::atomic<bool>* cancel,
                       const std::string& audioUrl) {
  close();
  std::lock_guard<std::mutex> lock(sourceLock);
  abortRequested.store(false);
  if (cancel && cancel->load()) return false;
  cancel_.store(cancel);
  uint32_t deadline = tickCount() + static_cast<uint32_t>(std::max(1, openDeadlineMs.load()));
  uint32_t connectDeadline = connectDeadline_.load();
  if (connectDeadline != 0 && static_cast<int32_t>(connectDeadline - deadline) < 0) deadline = connectDeadline;
  if (tickPassed(deadline)) return false;
  {
    std::lock_guard<std::mutex> guardLock(guardLock_);
    guard_ = OpenGuard{true, deadline, 0, {}, nullptr};
  }
  // The guard ends with the open: the inputs it lists may be freed without our close hook.
  struct EndGuard {
    MediaSource& self;
    ~EndGuard() {
      self.cancel_.store(nullptr);
      std::lock_guard<std::mutex> guardLock(self.guardLock_);
      self.guard_ = OpenGuard{};
    }
  } endGuard{*this};

  AVFormatContext* ctx = openInputLocked(url, buildOpenOptions(url, podcastRequest));
  if (!ctx) return false;
  setContextLocked(ctx);
  if (!analyzeLocked()) return false;
  if (audioUrl.empty() || audioUrl == url) return true;  // one address: its own streams
  AVFormatContext* audio = openInputLocked(audioUrl, buildOpenOptions(audioUrl, false));
  if (audio && avformat_find_stream_info(audio, nullptr) >= 0 && addAudioInputLocked(audio)) return true;
  if (audio) avformat_close_input(&audio);
  closeLocked();
  return false;
}

// Opens one network input within the open's guard; null on failure.
AVFormatContext* MediaSource::openInputLocked(const std::string& url, const OpenOptions& options) {
  AVFormatContext* ctx = avformat_alloc_context();
  if (!ctx) return nullptr;
  ctx->interrupt_callback.callback = &MediaSource::interruptCallback;
  ctx->interrupt_callback.opaque = this;
  ctx->opaque = this;
  {
    std::lock_guard<std::mutex> guardLock(guardLock_);
    guard_.context = ctx;  // the same pointer until this input is open
  }
  defaultIoOpen_ = ctx->io_open;
  defaultIoClose_ = ctx->io_close2;
  ctx->io_open = &MediaSource::ioOpen;
  ctx->io_close2 = &MediaSource::ioClose;
  ctx->probesize = options.probeSize;
  ctx->max_analyze_duration = options.maxAnalyzeDurationUs;
  if (options.noBuffer) ctx->flags |= AVFMT_FLAG_NOBUFFER;

  AVDictionary* dict = nullptr;
  for (const auto& [key, value] : options.entries) av_dict_set(&dict, key.c_str(), value.c_str(), 0);
  const AVInputFormat* format =
      options.forcedFormat.empty() ? nullptr : av_find_input_format(options.forcedFormat.c_str());

  int rc = avformat_open_input(&ctx, url.c_str(), format, &dict);
  av_dict_free(&dict);  // entries FFmpeg did not take are dropped
  return rc < 0 ? nullptr : ctx;  // on failure FFmpeg freed the context
}

// The sound comes from `ctx` instead of the first input, whose own sound is left unread.
bool MediaSource::addAudioInputLocked(AVFormatContext* ctx) {
  std::vector<AudioTrack> tracks = listAudioTracks(ctx, -1);
  const int chosen = defaultAudioTrack(tracks);
  if (chosen < 0) return false;
  const int offset = static_cast<int>(formatContext_->nb_streams);
  for (AudioTrack& t : tracks) t.stream += offset;
  for (unsigned i = 0; i < ctx->nb_streams; ++i)
    ctx->streams[i]->discard = static_cast<int>(i) + offset == tracks[chosen].stream ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
  std::lock_guard<std::mutex> infoLock(infoLock_);
  for (const AudioTrack& t : info_.audioTracks) formatContext_->streams[t.stream]->discard = AVDISCARD_ALL;
  audioContext_ = ctx;
  audioOffset_ = offset;
  info_.audioTracks = std::move(tracks);
  info_.audioStream = info_.audioTracks[chosen].stream;
  info_.hasAudio = true;
  const AVStream* audio = streamLocked(info_.audioStream);
  takeAudioFormat(info_, audio);
  const AVCodecParameters* par = audio->codecpar;
  info_.bitrateKbps = par->bit_rate > 0 ? static_cast<int>(par->bit_rate / 1000) : 0;
  if (info_.duration <= 0 && ctx->duration >= 1) info_.duration = static_cast<double>(ctx->duration) * 1e-6;
  titleStream_ = -1;
  return true;
}

AVStream* MediaSource::streamLocked(int index) const {
  if (index < 0) return nullptr;
  if (formatContext_ && index < static_cast<int>(formatContext_->nb_streams)) return formatContext_->streams[index];
  if (audioContext_ && index >= audioOffset_ && index - audioOffset_ < static_cast<int>(audioContext_->nb_streams))
    return audioContext_->streams[index - audioOffset_];
  return nullptr;
}

void MediaSource::prepareLocal(const std::string& path) { early_.start(path); }

bool MediaSource::openLocal(const std::string& path) {
  close();
  std::lock_guard<std::mutex> lock(sourceLock);
  abortRequested.store(false);
  if (AVFormatContext* probed = early_.take(path)) {
    setContextLocked(probed);
    return analyzeLocked(true);
  }
  AVFormatContext* ctx = avformat_alloc_context();
  if (!ctx) return false;
  if (avformat_open_input(&ctx, path.c_str(), nullptr, nullptr) < 0) return false;
  setContextLocked(ctx);
  return analyzeLocked();
}

bool MediaSource::analyzeLocked(bool probed) {
  AVFormatContext* ctx = formatContext_;
  if (!probed && !probeStreams(ctx)) {
    closeLocked();
    return false;
  }
  MediaInfo info;
  info.videoStream = av_find_best_stream(ctx, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (info.videoStream < 0) info.videoStream = -1;
  if (info.videoStream >= 0 && (ctx->streams[info.videoStream]->disposition & AV_DISPOSITION_ATTACHED_PIC))
    info.videoStream = -1;  // cover art is not video
  if (info.videoStream >= 0) {
    const AVCodecParameters* par = ctx->streams[info.videoStream]->codecpar;
    // A still picture the probe refused to decode has no size left.
    bool still = par->codec_id == AV_CODEC_ID_PNG || par->codec_id == AV_CODEC_ID_MJPEG ||
                 par->codec_id == AV_CODEC_ID_BMP || par->codec_id == AV_CODEC_ID_WEBP ||
                 par->codec_id == AV_CODEC_ID_TIFF || par->codec_id == AV_CODEC_ID_JPEG2000;
    if (par->width > kMaxPictureSide || par->height > kMaxPictureSide) {
      debugLog("Picture %dx%d is too large to show (limit %d pixels a side)\n", par->width, par->height,
               kMaxPictureSide);
      info.videoStream = -1;
    } else if (still && (par->width < 1 || par->height < 1)) {
      debugLog("Picture is too large to show (limit %d pixels a side)\n", kMaxPictureSide);
      info.videoStream = -1;
    }
  }
  // The sound of the same program (HLS variant, broadcast channel) as the picture, chosen by
  // the file's own mark (FFmpeg's best-stream pick goes by bit rate and channels instead).
  info.audioTracks = listAudioTracks(ctx, info.videoStream);
  int chosen = defaultAudioTrack(info.audioTracks);
  info.audioStream = chosen >= 0 ? info.audioTracks[chosen].stream : -1;
  if (info.videoStream < 0 && info.audioStream < 0) {
    closeLocked();
    return false;
  }
  // Subtitles only beside a picture. Every one of them is read (they are small), so that
  // another chosen while playing shows the line due at once; not a playlist's, whose every
  // rendition would be fetched.
  std::vector<SubtitleSetup> setups;
  const bool playlist = ctx->iformat && std::strcmp(ctx->iformat->name, "hls") == 0;
  if (info.videoStream >= 0 && !playlist) listSubtitleStreams(ctx, info.subtitleStreams, setups);
  // Streams that are not played are not read: demuxers skip them, and HLS stops fetching them.
  for (unsigned i = 0; i < ctx->nb_streams; ++i) {
    const int n = static_cast<int>(i);
    bool played = n == info.videoStream || n == info.audioStream ||
                  std::any_of(setups.begin(), setups.end(), [&](const SubtitleSetup& s) { return s.stream == n; });
    ctx->streams[i]->discard = played ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
  }

  info.duration = ctx->duration >= 1 ? static_cast<double>(ctx->duration) * 1e-6 : 0.0;
  if (ctx->start_time != AV_NOPTS_VALUE) info.startTime = static_cast<double>(ctx->start_time) * 1e-6;
  info.chapters = readChapters(ctx, info.startTime, info.duration);
  info.hasVideo = info.videoStream >= 0;
  info.hasAudio = info.audioStream >= 0;
  if (info.hasVideo) {
    AVStream* v = ctx->streams[info.videoStream];
    info.width = v->codecpar->width;
    info.height = v->codecpar->height;
    info.geometry = streamGeometry(v);
    if (v->avg_frame_rate.num > 0 && v->avg_frame_rate.den > 0)
      info.frameRate = static_cast<double>(v->avg_frame_rate.num) / v->avg_frame_rate.den;
  }
  if (info.hasAudio) takeAudioFormat(info, ctx->streams[info.audioStream]);

  // Tags in any case ("TITLE" in a FLAC or Vorbis comment, "title" in MP4), from the
  // container, else from an Ogg file's sound stream, where Vorbis and Opus keep them (a stream
  // title elsewhere names the track, "Commentary", not the work).
  const bool ogg = ctx->iformat && std::strcmp(ctx->iformat->name, "ogg") == 0;
  const AVDictionary* streamTags = ogg && info.hasAudio ? ctx->streams[info.audioStream]->metadata : nullptr;
  auto tag = [&](std::initializer_list<const char*> keys) {
    for (const AVDictionary* tags : {static_cast<const AVDictionary*>(ctx->metadata), streamTags})
      for (const char* key : keys)
        if (const AVDictionaryEntry* e = tags ? av_dict_get(tags, key, nullptr, 0) : nullptr; e && e->value[0])
          return oneLineTitle(e->value);
    return std::string();
  };
  info.title = tag({"title"});
  info.artist = tag({"artist", "album_artist", "performer"});
  info.album = tag({"album"});
  for (auto [key, field] : {std::pair{"icy-name", &info.stationName}, std::pair{"icy-genre", &info.genre},
                             std::pair{"icy-description", &info.description}})
    if (const AVDictionaryEntry* e = av_dict_get(ctx->metadata, key, nullptr, 0); e && e->value[0])
      *field = oneLineTitle(stationText(e->value));
  if (const AVDictionaryEntry* e = av_dict_get(ctx->metadata, "icy-br", nullptr, 0); e && e->value[0])
    info.bitrateKbps = static_cast<int>(std::strtol(e->value, nullptr, 10));

  if (info.hasAudio) {
    AVCodecParameters* par = ctx->streams[info.audioStream]->codecpar;
    if (info.bitrateKbps <= 0 && par->bit_rate > 0) info.bitrateKbps = static_cast<int>(par->bit_rate / 1000);
  }

  {
    std::lock_guard<std::mutex> infoLock(infoLock_);
    info_ = std::move(info);
    subtitleSetups_ = std::move(setups);
  }
  titleStream_ = info_.audioStream;
  publishTitleLocked(true);
  return true;
}

void MediaSource::close() {
  abortRequested.store(true);
  std::lock_guard<std::mutex> lock(sourceLock);
  closeLocked();
}

// The context pointer changes only with both locks held, so either lock makes reading it safe.
void MediaSource::setContextLocked(AVFormatContext* ctx) {
  std::lock_guard<std::mutex> infoLock(infoLock_);
  formatContext_ = ctx;
}

void MediaSource::closeLocked() {
  AVFormatContext* ctx = formatContext_;
  AVFormatContext* audio = audioContext_;
  {
    std::lock_guard<std::mutex> infoLock(infoLock_);
    formatContext_ = nullptr;
    audioContext_ = nullptr;
    info_ = MediaInfo{};
    subtitleSetups_.clear();
  }
  dropReadAheadLocked();
  titleStream_ = -1;
  if (ctx) avformat_close_input(&ctx);
  if (audio) avformat_close_input(&audio);
  std::lock_guard<std::mutex> titleLock(titleLock_);
  publishedTitle_.clear();
  lastStreamTitle_.clear();
}

int MediaSource::readPacket(AVPacket* packet) {
  std::lock_guard<std::mutex> lock(sourceLock);
  if (!formatContext_) return 0;
  if (audioContext_) return readInterleavedLocked(packet);
  int rc = av_read_frame(formatContext_, packet);
  publishTitleLocked(false);
  if (rc >= 0) return 1;
  if (rc == AVERROR_EOF || rc == AVERROR_EXIT) return 0;
  return -1;
}

// Two inputs: the packet that comes first in time of the two read ahead. One that has ended
// leaves the other to play out; an error in either is the medium's.
int MediaSource::readInterleavedLocked(AVPacket* packet) {
  AVFormatContext* inputs[2] = {formatContext_, audioContext_};
  for (int i = 0; i < 2; ++i) {
    if (ahead_[i] || ended_[i]) continue;
    AVPacket* p = av_packet_alloc();
    if (!p) return -1;
    int rc = av_read_frame(inputs[i], p);
    if (rc < 0) {
      av_packet_free(&p);
      if (rc == AVERROR_EXIT || abortRequested.load()) return 0;
      if (rc != AVERROR_EOF) return -1;
      ended_[i] = true;
      continue;
    }
    if (i == 1) p->stream_index += audioOffset_;
    ahead_[i] = p;
  }
  auto at = [&](int i) {
    const AVPacket* p = ahead_[i];
    int64_t t = p->dts != AV_NOPTS_VALUE ? p->dts : p->pts;
    if (t == AV_NOPTS_VALUE) return -1.0e300;  // no time: hand it out at once
    const AVStream* st = streamLocked(p->stream_index);
    return static_cast<double>(t) * av_q2d(st->time_base);
  };
  int next = !ahead_[0] ? 1 : !ahead_[1] ? 0 : at(1) < at(0) ? 1 : 0;
  if (!ahead_[next]) return 0;  // both ended
  av_packet_move_ref(packet, ahead_[next]);
  av_packet_free(&ahead_[next]);
  return 1;
}

void MediaSource::dropReadAheadLocked() {
  for (int i = 0; i < 2; ++i) {
    av_packet_free(&ahead_[i]);
    ended_[i] = false;
  }
}

bool MediaSource::selectAudioStream(int stream) {
  std::lock_guard<std::mutex> lock(sourceLock);
  if (!formatContext_) return false;
  std::lock_guard<std::mutex> infoLock(infoLock_);
  auto& tracks = info_.audioTracks;
  if (std::none_of(tracks.begin(), tracks.end(), [&](const AudioTrack& t) { return t.stream == stream; })) return false;
  if (AVStream* old = streamLocked(info_.audioStream)) old->discard = AVDISCARD_ALL;
  AVStream* st = streamLocked(stream);
  st->discard = AVDISCARD_DEFAULT;
  info_.audioStream = stream;
  takeAudioFormat(info_, st);
  titleStream_ = audioContext_ ? -1 : stream;
  return true;
}

bool MediaSource::seek(double seconds) {
  std::lock_guard<std::mutex> lock(sourceLock);
  if (!formatContext_) return false;
  double start = 0;
  {
    std::lock_guard<std::mutex> infoLock(infoLock_);
    start = info_.startTime;
  }
  int64_t target = static_cast<int64_t>((seconds + start) * 1000000.0);
  dropReadAheadLocked();
  bool done = avformat_seek_file(formatContext_, -1, INT64_MIN, target, target, 0) >= 0;
  // The second input to the same moment (its sound is cut at the target like the first's).
  if (audioContext_) done = avformat_seek_file(audioContext_, -1, INT64_MIN, target, target, 0) >= 0 && done;
  return done;
}

// Reading thread, under the demuxer lock: the song title the demuxer reports now, from the
// station's ICY block or from the tags of a new chained Ogg stream, whichever came last.
void MediaSource::publishTitleLocked(bool opening) {
  AVFormatContext* ctx = formatContext_;
  if (!ctx) return;
  // Updates without a title (the station's headers, a block with only its URL) keep the last.
  std::string title;
  if (opening || (ctx->event_flags & AVFMT_EVENT_FLAG_METADATA_UPDATED)) title = containerTitle(ctx);
  ctx->event_flags &= ~AVFMT_EVENT_FLAG_METADATA_UPDATED;
  if (titleStream_ >= 0 && static_cast<unsigned>(titleStream_) < ctx->nb_streams) {
    AVStream* st = ctx->streams[titleStream_];
    if (st->event_flags & AVSTREAM_EVENT_FLAG_METADATA_UPDATED) {
      st->event_flags &= ~AVSTREAM_EVENT_FLAG_METADATA_UPDATED;
      if (std::string song = songOf(st->metadata); !song.empty()) title = std::move(song);
      // The Ogg demuxer adds the next chained stream's tags to these ("A;B"): start afresh.
      if (std::strcmp(ctx->iformat->name, "ogg") == 0) av_dict_free(&st->metadata);
    }
  }
  if (title.empty()) return;
  std::lock_guard<std::mutex> lock(titleLock_);
  publishedTitle_ = std::move(title);
}

bool MediaSource::pollStreamTitle(std::string& title) {
  std::lock_guard<std::mutex> lock(titleLock_);
  if (publishedTitle_.empty() || publishedTitle_ == lastStreamTitle_) return false;
  lastStreamTitle_ = publishedTitle_;
  title = lastStreamTitle_;
  return true;
}

bool MediaSource::extractCoverArt(std::vector<uint8_t>& bytes, std::string& mime, bool* busy) {
  std::unique_lock<std::mutex> lock(sourceLock, std::try_to_lock);
  if (busy) *busy = !lock.owns_lock() || !formatContext_;  // ask again later
  if (!lock.owns_lock() || !formatContext_) return false;
  for (unsigned i = 0; i < formatContext_->nb_streams; ++i) {
    AVStream* s = formatContext_->streams[i];
    if (!(s->disposition & AV_DISPOSITION_ATTACHED_PIC)) continue;
    const AVPacket& pic = s->attached_pic;
    bytes.assign(pic.data, pic.data + (pic.data ? pic.size : 0));
    AVCodecID id = s->codecpar->codec_id;
    mime = (id == AV_CODEC_ID_MJPEG || id == AV_CODEC_ID_JPEG2000) ? "image/jpeg" : "image/png";
    return true;
  }
  return false;
}

std::vector<SubtitleSetup> MediaSource::subtitleSetups() const {
  std::lock_guard<std::mutex> lock(infoLock_);
  return subtitleSetups_;
}

std::shared_ptr<const FontFiles> MediaSource::attachedFonts() {
  // Fonts past this much are left out: a file cannot make the player hold gigabytes.
  constexpr size_t kMaxFontBytes = size_t{128} << 20;
  auto fonts = std::make_shared<FontFiles>();
  std::lock_guard<std::mutex> lock(sourceLock);
  if (!formatContext_) return fonts;
  size_t total = 0;
  for (unsigned i = 0; i < formatContext_->nb_streams; ++i) {
    const AVStream* st = formatContext_->streams[i];
    const AVCodecParameters* par = st->codecpar;
    if (par->codec_type != AVMEDIA_TYPE_ATTACHMENT || !par->extradata || par->extradata_size <= 0) continue;
    const AVDictionaryEntry* mime = av_dict_get(st->metadata, "mimetype", nullptr, 0);
    const AVDictionaryEntry* name = av_dict_get(st->metadata, "filename", nullptr, 0);
    std::string type = mime ? mime->value : "";
    for (char& c : type) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    const bool font = type == "font/ttf" || type == "font/otf" || type == "font/sfnt" || type == "font/collection" ||
                      type == "application/x-truetype-font" || type == "application/x-font-ttf" ||
                      type == "application/vnd.ms-opentype" || type == "application/x-font-otf" ||
                      type == "application/font-sfnt" || par->codec_id == AV_CODEC_ID_TTF ||
                      par->codec_id == AV_CODEC_ID_OTF;
    const size_t size = static_cast<size_t>(par->extradata_size);
    if (!font || total + size > kMaxFontBytes) continue;
    total += size;
    fonts->push_back({name ? name->value : "font", std::string(reinterpret_cast<const char*>(par->extradata), size)});
  }
  return fonts;
}

AVStream* MediaSource::videoStreamParameters() const {
  std::lock_guard<std::mutex> lock(infoLock_);
  return formatContext_ && info_.videoStream >= 0 ? formatContext_->streams[info_.videoStream] : nullptr;
}

AVStream* MediaSource::audioStreamParameters() const {
  std::lock_guard<std::mutex> lock(infoLock_);
  return streamLocked(info_.audioStream);
}

bool MediaSource::isOpen() const {
  std::lock_guard<std::mutex> lock(infoLock_);
  return formatContext_ != nullptr;
}

MediaInfo MediaSource::info() const {
  std::lock_guard<std::mutex> lock(infoLock_);
  return info_;
}

ChapterList MediaSource::chapters() const {
  std::lock_guard<std::mutex> lock(infoLock_);
  return info_.chapters;
}

double MediaSource::duration() const {
  std::lock_guard<std::mutex> lock(infoLock_);
  return info_.duration;
}

bool MediaSource::hasVideo() const {
  std::lock_guard<std::mutex> lock(infoLock_);
  return info_.hasVideo;
}

bool MediaSource::hasAudio() const {
  std::lock_guard<std::mutex> lock(infoLock_);
  return info_.hasAudio;
}

int MediaSource::videoStreamIndex() const {
  std::lock_guard<std::mutex> lock(infoLock_);
  return info_.videoStream;
}

int MediaSource::audioStreamIndex() const {
  std::lock_guard<std::mutex> lock(infoLock_);
  return info_.audioStream;
}

}  // namespace vell
