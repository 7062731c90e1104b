// Linux (GDBus): the player as an MPRIS 2 media player on the session bus.
#include "platform/MediaControls.h"

#include <gio/gio.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "platform/Files.h"
#include "platform/Log.h"

namespace vell {

namespace {

constexpr const char* kObjectPath = "/org/mpris/MediaPlayer2";
constexpr const char* kPlayerInterface = "org.mpris.MediaPlayer2.Player";

constexpr const char* kIntrospection = R"XML(
<node>
  <interface name="org.mpris.MediaPlayer2">
    <method name="Raise"/>
    <method name="Quit"/>
    <property name="CanQuit" type="b" access="read"/>
    <property name="CanRaise" type="b" access="read"/>
    <property name="HasTrackList" type="b" access="read"/>
    <property name="Identity" type="s" access="read"/>
    <property name="DesktopEntry" type="s" access="read"/>
    <property name="SupportedUriSchemes" type="as" access="read"/>
    <property name="SupportedMimeTypes" type="as" access="read"/>
  </interface>
  <interface name="org.mpris.MediaPlayer2.Player">
    <method name="Next"/>
    <method name="Previous"/>
    <method name="Pause"/>
    <method name="PlayPause"/>
    <method name="Stop"/>
    <method name="Play"/>
    <method name="Seek"><arg direction="in" name="Offset" type="x"/></method>
    <method name="SetPosition">
      <arg direction="in" name="TrackId" type="o"/>
      <arg direction="in" name="Position" type="x"/>
    </method>
    <method name="OpenUri"><arg direction="in" name="Uri" type="s"/></method>
    <signal name="Seeked"><arg name="Position" type="x"/></signal>
    <property name="PlaybackStatus" type="s" access="read"/>
    <property name="Rate" type="d" access="readwrite"/>
    <property name="Metadata" type="a{sv}" access="read"/>
    <property name="Volume" type="d" access="readwrite"/>
    <property name="Position" type="x" access="read"/>
    <property name="MinimumRate" type="d" access="read"/>
    <property name="MaximumRate" type="d" access="read"/>
    <property name="CanGoNext" type="b" access="read"/>
    <property name="CanGoPrevious" type="b" access="read"/>
    <property name="CanPlay" type="b" access="read"/>
    <property name="CanPause" type="b" access="read"/>
    <property name="CanSeek" type="b" access="read"/>
    <property name="CanControl" type="b" access="read"/>
  </interface>
</node>)XML";

using Clock = std::chrono::steady_clock;

std::string validUtf8(const std::string& s) {
  if (g_utf8_validate(s.data(), static_cast<gssize>(s.size()), nullptr)) return s;
  gchar* fixed = g_utf8_make_valid(s.data(), static_cast<gssize>(s.size()));
  std::string out = fixed;
  g_free(fixed);
  return out;
}

std::string trackPath(int64_t id) {
  if (id <= 0) return "/org/mpris/MediaPlayer2/TrackList/NoTrack";
  return "/org/mpris/MediaPlayer2/track/" + std::to_string(id);
}

const char* statusName(MediaStatus::State s) {
  return s == MediaStatus::Playing ? "Playing" : s == MediaStatus::Paused ? "Paused" : "Stopped";
}

GVariant* metadataVariant(const MediaStatus& s) {
  GVariantBuilder b;
  g_variant_builder_init(&b, G_VARIANT_TYPE("a{sv}"));
  g_variant_builder_add(&b, "{sv}", "mpris:trackid", g_variant_new_object_path(trackPath(s.trackId).c_str()));
  if (s.trackId > 0) {
    if (s.lengthUs > 0) g_variant_builder_add(&b, "{sv}", "mpris:length", g_variant_new_int64(s.lengthUs));
    if (!s.title.empty())
      g_variant_builder_add(&b, "{sv}", "xesam:title", g_variant_new_string(validUtf8(s.title).c_str()));
    if (!s.artist.empty()) {
      std::string artist = validUtf8(s.artist);
      const gchar* artists[] = {artist.c_str(), nullptr};
      g_variant_builder_add(&b, "{sv}", "xesam:artist", g_variant_new_strv(artists, 1));
    }
    if (!s.url.empty()) g_variant_builder_add(&b, "{sv}", "xesam:url", g_variant_new_string(validUtf8(s.url).c_str()));
    if (!s.artUrl.empty())
      g_variant_builder_add(&b, "{sv}", "mpris:artUrl", g_variant_new_string(validUtf8(s.artUrl).c_str()));
  }
  return g_variant_builder_end(&b);
}

}  // namespace

struct MediaControls::Impl {
  std::mutex lock;
  MediaStatus status;
  Clock::time_point statusTime = Clock::now();
  bool published = false;
  Handler handler;
  std::string busName, identity, desktopEntry;

  GMainContext* context = nullptr;
  GMainLoop* loop = nullptr;
  GDBusConnection* connection = nullptr;  // set on the bus thread, read under `lock`
  GDBusNodeInfo* node = nullptr;
  guint rootId = 0, playerId = 0, ownerId = 0;
  std::thread thread;
  bool triedInstanceName = false;

  int64_t positionNow() {
    int64_t pos = status.positionUs;
    if (status.state == MediaStatus::Playing) {
      auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - statusTime).count();
      pos += static_cast<int64_t>(static_cast<double>(elapsed) * status.rate);
      if (status.lengthUs > 0 && pos > status.lengthUs) pos = status.lengthUs;
    }
    return pos;
  }

  void request(MediaRequest r) {
    Handler h;
    {
      std::lock_guard<std::mutex> guard(lock);
      h = handler;
    }
    if (h) h(r);
  }

  void emitChanged(GVariantBuilder* changed) {
    GDBusConnection* c = connection;
    if (!c) {
      g_variant_builder_clear(changed);
      return;
    }
    GVariant* args = g_variant_new("(sa{sv}as)", kPlayerInterface, changed, nullptr);
    g_dbus_connection_emit_signal(c, nullptr, kObjectPath, "org.freedesktop.DBus.Properties", "PropertiesChanged",
                                  args, nullptr);
  }

  static void onMethod(GDBusConnection*, const gchar*, const gchar*, const gchar* interface, const gchar* method,
                       GVariant* params, GDBusMethodInvocation* invocation, gpointer data) {
    auto* self = static_cast<Impl*>(data);
    std::string m = method;
    MediaRequest r;
    bool known = true;
    if (g_strcmp0(interface, "org.mpris.MediaPlayer2") == 0) {
      if (m == "Raise") r.command = MediaCommand::Raise;
      else if (m == "Quit") r.command = MediaCommand::Quit;
      else known = false;
    } else if (m == "Next") r.command = MediaCommand::Next;
    else if (m == "Previous") r.command = MediaCommand::Previous;
    else if (m == "Pause") r.command = MediaCommand::Pause;
    else if (m == "PlayPause") r.command = MediaCommand::PlayPause;
    else if (m == "Stop") r.command = MediaCommand::Stop;
    else if (m == "Play") r.command = MediaCommand::Play;
    else if (m == "Seek") {
      gint64 offset = 0;
      g_variant_get(params, "(x)", &offset);
      r.command = MediaCommand::SeekBy;
      r.value = static_cast<double>(offset);
    } else if (m == "SetPosition") {
      const gchar* track = nullptr;
      gint64 position = 0;
      g_variant_get(params, "(&ox)", &track, &position);
      r.command = MediaCommand::SetPosition;
      r.value = static_cast<double>(position);
      std::string t = track ? track : "";
      size_t cut = t.rfind('/');
      r.trackId = cut == std::string::npos ? 0 : std::atoll(t.c_str() + cut + 1);
    } else if (m == "OpenUri") {
      const gchar* uri = nullptr;
      g_variant_get(params, "(&s)", &uri);
      r.command = MediaCommand::OpenUri;
      r.text = uri ? uri : "";
    } else {
      known = false;
    }
    if (!known) {
      g_dbus_method_invocation_return_error(invocation, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_METHOD, "Unknown method");
      return;
    }
    self->request(r);
    g_dbus_method_invocation_return_value(invocation, nullptr);
  }

  static GVariant* onGet(GDBusConnection*, const gchar*, const gchar*, const gchar* interface, const gchar* name,
                         GError** error, gpointer data) {
    auto* self = static_cast<Impl*>(data);
    std::lock_guard<std::mutex> guard(self->lock);
    const MediaStatus& s = self->status;
    std::string p = name;
    if (g_strcmp0(interface, "org.mpris.MediaPlayer2") == 0) {
      if (p == "CanQuit" || p == "CanRaise") return g_variant_new_boolean(TRUE);
      if (p == "HasTrackList") return g_variant_new_boolean(FALSE);
      if (p == "Identity") return g_variant_new_string(self->identity.c_str());
      if (p == "DesktopEntry") return g_variant_new_string(self->desktopEntry.c_str());
      if (p == "SupportedUriSchemes") {
        static const gchar* schemes[] = {"file", "http", "https", "rtsp", "rtmp", "mms", nullptr};
        return g_variant_new_strv(schemes, -1);
      }
      if (p == "SupportedMimeTypes") {
        static const gchar* types[] = {"audio/mpeg", "audio/ogg", "audio/flac", "audio/x-wav", "audio/mp4",
                                       "video/mp4", "video/x-matroska", "video/webm", "video/x-msvideo",
                                       "audio/x-scpls", "application/vnd.apple.mpegurl", nullptr};
        return g_variant_new_strv(types, -1);
      }
    } else {
      if (p == "PlaybackStatus") return g_variant_new_string(statusName(s.state));
      if (p == "Rate") return g_variant_new_double(s.rate);
      if (p == "Metadata") return metadataVariant(s);
      if (p == "Volume") return g_variant_new_double(s.volume);
      if (p == "Position") return g_variant_new_int64(self->positionNow());
      if (p == "MinimumRate") return g_variant_new_double(0.1);
      if (p == "MaximumRate") return g_variant_new_double(4.0);
      if (p == "CanGoNext") return g_variant_new_boolean(s.canGoNext);
      if (p == "CanGoPrevious") return g_variant_new_boolean(s.canGoPrevious);
      if (p == "CanPlay") return g_variant_new_boolean(s.canPlay);
      if (p == "CanPause") return g_variant_new_boolean(s.canPause);
      if (p == "CanSeek") return g_variant_new_boolean(s.canSeek);
      if (p == "CanControl") return g_variant_new_boolean(TRUE);
    }
    g_set_error(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_PROPERTY, "Unknown property %s", name);
    return nullptr;
  }

  static gboolean onSet(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* name, GVariant* value,
                        GError** error, gpointer data) {
    auto* self = static_cast<Impl*>(data);
    if (!g_variant_is_of_type(value, G_VARIANT_TYPE_DOUBLE)) {
      g_set_error(error, G_DBUS_ERROR, G_DBUS_ERROR_INVALID_ARGS, "Expected a double");
      return FALSE;
    }
    double v = g_variant_get_double(value);
    if (!std::isfinite(v)) {
      g_set_error(error, G_DBUS_ERROR, G_DBUS_ERROR_INVALID_ARGS, "Not a number");
      return FALSE;
    }
    std::string p = name;
    if (p == "Volume") {
      MediaRequest r;
      r.command = MediaCommand::SetVolume;
      r.value = v;
      self->request(r);
      return TRUE;
    }
    if (p == "Rate") {
      MediaRequest r;
      r.command = MediaCommand::SetRate;
      r.value = v;
      self->request(r);
      return TRUE;
    }
    g_set_error(error, G_DBUS_ERROR, G_DBUS_ERROR_PROPERTY_READ_ONLY, "Read-only property %s", name);
    return FALSE;
  }

  static void onNameLost(GDBusConnection* c, const gchar* name, gpointer data) {
    auto* self = static_cast<Impl*>(data);
    if (!c) return;
    if (!self->triedInstanceName) {
      // Another copy of the player holds the name: take the per-instance one, as MPRIS asks.
      self->triedInstanceName = true;
      g_bus_unown_name(self->ownerId);
      std::string alt = std::string(name) + ".instance" + std::to_string(getpid());
      self->ownerId = g_bus_own_name_on_connection(c, alt.c_str(), G_BUS_NAME_OWNER_FLAGS_DO_NOT_QUEUE, nullptr,
                                                   onNameLost, self, nullptr);
    }
  }

  void run() {
    g_main_context_push_thread_default(context);
    GError* error = nullptr;
    GDBusConnection* c = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (!c) {
      debugLog("No session bus: media controls off (%s)\n", error ? error->message : "?");
      g_clear_error(&error);
      g_main_context_pop_thread_default(context);
      return;
    }
    static const GDBusInterfaceVTable vtable = {onMethod, onGet, onSet, {nullptr}};
    node = g_dbus_node_info_new_for_xml(kIntrospection, nullptr);
    rootId = g_dbus_connection_register_object(c, kObjectPath, node->interfaces[0], &vtable, this, nullptr, nullptr);
    playerId = g_dbus_connection_register_object(c, kObjectPath, node->interfaces[1], &vtable, this, nullptr, nullptr);
    ownerId = g_bus_own_name_on_connection(c, busName.c_str(), G_BUS_NAME_OWNER_FLAGS_DO_NOT_QUEUE, nullptr,
                                           onNameLost, this, nullptr);
    {
      std::lock_guard<std::mutex> guard(lock);
      connection = c;
    }
    g_main_loop_run(loop);
    {
      std::lock_guard<std::mutex> guard(lock);
      connection = nullptr;
    }
    g_bus_unown_name(ownerId);
    g_dbus_connection_unregister_object(c, rootId);
    g_dbus_connection_unregister_object(c, playerId);
    g_dbus_connection_flush_sync(c, nullptr, nullptr);
    g_dbus_node_info_unref(node);
    g_object_unref(c);
    // Let pending callbacks of this context run out before it goes.
    while (g_main_context_iteration(context, FALSE)) {
    }
    g_main_context_pop_thread_default(context);
  }
};

MediaControls::MediaControls() : impl_(std::make_unique<Impl>()) {}

MediaControls::~MediaControls() { stop(); }

bool MediaControls::start(const std::string& busSuffix, const std::string& identity, const std::string& desktopEntry,
                          Handler handler) {
  if (impl_->thread.joinable()) return true;
  // Without an address GLib would try to start a bus of its own; a player should not.
  const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  bool haveBus = (address && *address) || (runtime && *runtime && access((std::string(runtime) + "/bus").c_str(), F_OK) == 0);
  if (!haveBus) {
    debugLog("No session bus: media controls off\n");
    return false;
  }
  impl_->busName = "org.mpris.MediaPlayer2." + busSuffix;
  impl_->identity = identity;
  impl_->desktopEntry = desktopEntry;
  impl_->handler = std::move(handler);
  impl_->context = g_main_context_new();
  impl_->loop = g_main_loop_new(impl_->context, FALSE);
  impl_->thread = std::thread([this] { impl_->run(); });
  return true;
}

void MediaControls::stop() {
  if (!impl_->thread.joinable()) return;
  {
    std::lock_guard<std::mutex> guard(impl_->lock);
    impl_->handler = nullptr;
  }
  // Quit from inside the loop's own context, so a quit before the loop started is not lost.
  GSource* source = g_idle_source_new();
  g_source_set_callback(
      source,
      [](gpointer loop) -> gboolean {
        g_main_loop_quit(static_cast<GMainLoop*>(loop));
        return G_SOURCE_REMOVE;
      },
      impl_->loop, nullptr);
  g_source_attach(source, impl_->context);
  g_source_unref(source);
  impl_->thread.join();
  g_main_loop_unref(impl_->loop);
  g_main_context_unref(impl_->context);
  impl_->loop = nullptr;
  impl_->context = nullptr;
}

bool MediaControls::running() const {
  std::lock_guard<std::mutex> guard(impl_->lock);
  return impl_->connection != nullptr;
}

void MediaControls::update(const MediaStatus& next) {
  Impl& d = *impl_;
  std::lock_guard<std::mutex> guard(d.lock);
  MediaStatus prev = d.status;
  int64_t expected = d.positionNow();
  auto now = Clock::now();
  d.status = next;
  d.statusTime = now;
  bool first = !d.published;
  d.published = true;
  if (!d.connection) return;

  GVariantBuilder changed;
  g_variant_builder_init(&changed, G_VARIANT_TYPE("a{sv}"));
  bool any = false;
  auto add = [&](const char* name, GVariant* v) {
    g_variant_builder_add(&changed, "{sv}", name, v);
    any = true;
  };
  if (first || prev.state != next.state) add("PlaybackStatus", g_variant_new_string(statusName(next.state)));
  if (first || prev.trackId != next.trackId || prev.title != next.title || prev.artist != next.artist ||
      prev.lengthUs != next.lengthUs || prev.artUrl != next.artUrl || prev.url != next.url)
    add("Metadata", metadataVariant(next));
  if (first || prev.rate != next.rate) add("Rate", g_variant_new_double(next.rate));
  if (first || prev.volume != next.volume) add("Volume", g_variant_new_double(next.volume));
  if (first || prev.canGoNext != next.canGoNext) add("CanGoNext", g_variant_new_boolean(next.canGoNext));
  if (first || prev.canGoPrevious != next.canGoPrevious) add("CanGoPrevious", g_variant_new_boolean(next.canGoPrevious));
  if (first || prev.canSeek != next.canSeek) add("CanSeek", g_variant_new_boolean(next.canSeek));
  if (first || prev.canPlay != next.canPlay) add("CanPlay", g_variant_new_boolean(next.canPlay));
  if (first || prev.canPause != next.canPause) add("CanPause", g_variant_new_boolean(next.canPause));
  if (any)
    d.emitChanged(&changed);
  else
    g_variant_builder_clear(&changed);

  // A position that is not where playing on would have put it was a seek.
  if (!first && prev.trackId == next.trackId && next.trackId > 0 && std::llabs(next.positionUs - expected) > 1500000) {
    g_dbus_connection_emit_signal(d.connection, nullptr, kObjectPath, kPlayerInterface, "Seeked",
                                  g_variant_new("(x)", static_cast<gint64>(next.positionUs)), nullptr);
  }
}

std::string runtimeFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  std::string base = runtime && runtime[0] == '/' ? runtime : "/tmp";
  std::string dir = base + "/vell-player";
  if (!runtime || runtime[0] != '/') dir += "-" + std::to_string(getuid());
  makeDirectories(dir);
  return dir;
}

}  // namespace vell
