// The one video-sharing site the player resolves pages of: its domains and headers.
#pragma once

// Everything the player knows about the one video-sharing site it resolves pages of.
namespace vell::videosite {

// Media CDN and image domains: URLs that contain either get the video-site input options.
inline constexpr const char* kMediaCdnDomain = "googlevideo.com";
inline constexpr const char* kImageDomain = "ytimg.com";
// Sent as the referer and in the Origin header of media requests.
inline constexpr const char* kHomePage = "https://www.youtube.com/";
inline constexpr const char* kOrigin = "https://www.youtube.com";

// Page URLs that the resolver recognises.
inline constexpr const char* kMainDomain = "youtube.com";
inline constexpr const char* kShortLinkDomain = "youtu.be";
inline constexpr const char* kMusicDomain = "music.youtube.com";

}  // namespace vell::videosite
