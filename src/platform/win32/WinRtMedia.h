// Windows: the WinRT media transport control interfaces, declared by hand.
#pragma once
// The system media transport controls (the media overlay, lock screen and media keys of
// Windows 8.1 and later), declared from their documented IIDs and interface layouts: the
// mingw-w64 headers have none of them.
#include <windows.h>
#include <eventtoken.h>
#include <hstring.h>
#include <inspectable.h>

namespace vell::winrt {

enum MediaPlaybackStatus : int {
  StatusClosed = 0,
  StatusChanging = 1,
  StatusStopped = 2,
  StatusPlaying = 3,
  StatusPaused = 4,
};
enum MediaPlaybackType : int { TypeUnknown = 0, TypeMusic = 1, TypeVideo = 2, TypeImage = 3 };
enum TransportButton : int {
  ButtonPlay = 0,
  ButtonPause = 1,
  ButtonStop = 2,
  ButtonRecord = 3,
  ButtonFastForward = 4,
  ButtonRewind = 5,
  ButtonNext = 6,
  ButtonPrevious = 7,
  ButtonChannelUp = 8,
  ButtonChannelDown = 9,
};

// Windows.Media.ISystemMediaTransportControlsInterop: the desktop program's way in, by window.
inline constexpr IID kInteropIid = {0xddb0472d, 0xc911, 0x4a1f, {0x86, 0xd9, 0xdc, 0x3d, 0x71, 0xa9, 0x5f, 0x5a}};
struct ISystemMediaTransportControlsInterop : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE GetForWindow(HWND window, REFIID riid, void** controls) = 0;
};

inline constexpr IID kControlsIid = {0x99fa3ff4, 0x1742, 0x42a6, {0x90, 0x2e, 0x08, 0x7d, 0x41, 0xf9, 0x65, 0xec}};
struct ISystemMediaTransportControls : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_PlaybackStatus(MediaPlaybackStatus* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_PlaybackStatus(MediaPlaybackStatus value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_DisplayUpdater(IInspectable** value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_SoundLevel(int* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_IsEnabled(boolean* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_IsEnabled(boolean value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_IsPlayEnabled(boolean* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_IsPlayEnabled(boolean value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_IsStopEnabled(boolean* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_IsStopEnabled(boolean value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_IsPauseEnabled(boolean* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_IsPauseEnabled(boolean value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_IsRecordEnabled(boolean* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_IsRecordEnabled(boolean value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_IsFastForwardEnabled(boolean* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_IsFastForwardEnabled(boolean value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_IsRewindEnabled(boolean* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_IsRewindEnabled(boolean value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_IsPreviousEnabled(boolean* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_IsPreviousEnabled(boolean value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_IsNextEnabled(boolean* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_IsNextEnabled(boolean value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_IsChannelUpEnabled(boolean* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_IsChannelUpEnabled(boolean value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_IsChannelDownEnabled(boolean* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_IsChannelDownEnabled(boolean value) = 0;
  virtual HRESULT STDMETHODCALLTYPE add_ButtonPressed(IUnknown* handler, EventRegistrationToken* token) = 0;
  virtual HRESULT STDMETHODCALLTYPE remove_ButtonPressed(EventRegistrationToken token) = 0;
  virtual HRESULT STDMETHODCALLTYPE add_PropertyChanged(IUnknown* handler, EventRegistrationToken* token) = 0;
  virtual HRESULT STDMETHODCALLTYPE remove_PropertyChanged(EventRegistrationToken token) = 0;
};

inline constexpr IID kDisplayUpdaterIid =
    {0x8abbc53e, 0xfa55, 0x4ecf, {0xad, 0x8e, 0xc9, 0x84, 0xe5, 0xdd, 0x15, 0x50}};
struct ISystemMediaTransportControlsDisplayUpdater : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_Type(MediaPlaybackType* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Type(MediaPlaybackType value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_AppMediaId(HSTRING* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_AppMediaId(HSTRING value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Thumbnail(IInspectable** value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Thumbnail(IInspectable* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_MusicProperties(IInspectable** value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_VideoProperties(IInspectable** value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ImageProperties(IInspectable** value) = 0;
  virtual HRESULT STDMETHODCALLTYPE CopyFromFileAsync(MediaPlaybackType type, IInspectable* file,
                                                      IInspectable** operation) = 0;
  virtual HRESULT STDMETHODCALLTYPE ClearAll() = 0;
  virtual HRESULT STDMETHODCALLTYPE Update() = 0;
};

inline constexpr IID kMusicPropertiesIid =
    {0x6bbf0c59, 0xd0a0, 0x4d26, {0x92, 0xa0, 0xf9, 0x78, 0xe1, 0xd1, 0x8e, 0x7b}};
struct IMusicDisplayProperties : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_Title(HSTRING* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Title(HSTRING value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_AlbumArtist(HSTRING* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_AlbumArtist(HSTRING value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Artist(HSTRING* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Artist(HSTRING value) = 0;
};

inline constexpr IID kVideoPropertiesIid =
    {0x5609fdb1, 0x5d2d, 0x4872, {0x81, 0x70, 0x45, 0xde, 0xe5, 0xbc, 0x2f, 0x5c}};
struct IVideoDisplayProperties : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_Title(HSTRING* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Title(HSTRING value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Subtitle(HSTRING* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Subtitle(HSTRING value) = 0;
};

inline constexpr IID kButtonPressedArgsIid =
    {0xb7f47116, 0xa56f, 0x4dc8, {0x9e, 0x11, 0x92, 0x03, 0x1f, 0x4a, 0x87, 0xc2}};
struct ISystemMediaTransportControlsButtonPressedEventArgs : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_Button(TransportButton* value) = 0;
};

// TypedEventHandler<SystemMediaTransportControls, SystemMediaTransportControlsButtonPressedEventArgs>.
inline constexpr IID kButtonHandlerIid = {0x0557e996, 0x7b23, 0x5bae, {0xaa, 0x81, 0xea, 0x0d, 0x67, 0x11, 0x43, 0xa4}};
struct IButtonPressedHandler : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Invoke(IInspectable* sender, IInspectable* args) = 0;
};

// IAgileObject: the handler may be called on any thread.
inline constexpr IID kAgileObjectIid = {0x94ea2b94, 0xe9cc, 0x49e0, {0xc0, 0xff, 0xee, 0x64, 0xca, 0x8f, 0x5b, 0x90}};

}  // namespace vell::winrt
