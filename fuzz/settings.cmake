vell_add_fuzzer(settings settings/Settings.cpp platform/TextLines.cpp platform/Text.cpp platform/Files.cpp platform/Log.cpp)
