vell_add_fuzzer(playlist playlist/Playlist.cpp platform/TextLines.cpp platform/Text.cpp
                platform/posix/CodePages.cpp platform/Files.cpp platform/posix/Files.cpp platform/Log.cpp
                platform/posix/LogOutput.cpp)
