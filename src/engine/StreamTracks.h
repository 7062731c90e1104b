// The streams of an input as the player offers them.
#pragma once
#include <vector>

#include "engine/MediaSource.h"

struct AVFormatContext;
struct AVStream;

namespace vell {

// FFmpeg's HLS demuxer opens every variant of a master playlist and lets one go only before
// the first packet is read: the variant to play is chosen now, the highest one, and the
// streams of the others are discarded so that their playlists and segments are never fetched.
void keepOneVariant(AVFormatContext* ctx);
// Every audio stream the player could play: decodable, not left out with another variant,
// and of the picture's program where the picture belongs to one.
std::vector<AudioTrack> listAudioTracks(AVFormatContext* ctx, int videoStream);
// Every subtitle stream with a decoder: text, libass's scripts and pictures. Closed captions
// and teletext without a decoder are left out.
void listSubtitleStreams(AVFormatContext* ctx, std::vector<SubtitleStream>& streams, std::vector<SubtitleSetup>& setups);
// The sound's rate, channels and codec name from the stream played.
void takeAudioFormat(MediaInfo& info, const AVStream* stream);

}  // namespace vell
