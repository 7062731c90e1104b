vell_add_fuzzer(vtt subtitles/SubtitleTrack.cpp platform/TextLines.cpp platform/Text.cpp
                platform/posix/CodePages.cpp platform/Files.cpp platform/posix/Files.cpp)
