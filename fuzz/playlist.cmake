vell_add_fuzzer(playlist playlist/Playlist.cpp platform/TextLines.cpp platform/Text.cpp platform/Files.cpp platform/Log.cpp)
