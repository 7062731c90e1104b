#pragma once
#include <string>
#include <string_view>

namespace vell {

// A field as the dialog reads it: at most 2047 code points, without trailing spaces, tabs,
// CR and LF or leading spaces and tabs.
std::string readFieldText(std::string_view text);

// The name a stream gets when none was typed: the host part after "://" (up to the first
// '/', ':' or '?'), else "사용자 스트림".
std::string defaultStreamName(std::string_view url);

// Whether clipboard text goes into the URL field when the dialog opens.
bool clipboardPrefills(std::string_view text);

// The podcast flag of the open-URL use.
bool openUrlPodcastFlag(std::string_view url);

}  // namespace vell
