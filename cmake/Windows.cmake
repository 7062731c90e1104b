# The Windows parts of the build, included by the top-level CMakeLists.txt on WIN32 (the cross
# build of cmake/mingw-w64-x86_64.cmake, CMakePresets.json's "windows"). It provides:
#   vell::ffmpeg           FFmpeg's DLLs from the cache tools/build-ffmpeg-windows.sh fills
#   vell::libass           libass and its DLLs from the cache tools/build-libass-windows.sh fills
#   vell::windows_system   the Windows libraries the win32 backends use (linked into vell_core)
#   GTest::gtest, GTest::gtest_main   GoogleTest built from Debian's source, for find_package(GTest)
# and copies their DLLs beside every program; built programs run under tools/wine-run.sh.
include_guard(GLOBAL)

include(cmake/CachedPrefix.cmake)

# FFmpeg --------------------------------------------------------------------------------------
set(VELL_FFMPEG_WINDOWS_PREFIX "" CACHE PATH
    "FFmpeg for Windows (include/, lib/*.dll.a, bin/*.dll); empty: the one tools/build-ffmpeg-windows.sh built last")
_vell_cached_prefix(ffmpeg VELL_FFMPEG_WINDOWS_PREFIX)
if(NOT EXISTS "${_vell_ffmpeg_prefix}/include/libavformat/avformat.h")
  message(FATAL_ERROR "No FFmpeg for Windows: run tools/build-ffmpeg-windows.sh "
                      "or set VELL_FFMPEG_WINDOWS_PREFIX (now: '${_vell_ffmpeg_prefix}')")
endif()
message(STATUS "FFmpeg for Windows: ${_vell_ffmpeg_prefix}")

set(VELL_WINDOWS_RUNTIME_DLLS "")
add_library(vell::ffmpeg INTERFACE IMPORTED)
foreach(_lib avformat avcodec swscale swresample avutil)
  file(GLOB _dll "${_vell_ffmpeg_prefix}/bin/${_lib}-*.dll")
  set(_implib "${_vell_ffmpeg_prefix}/lib/lib${_lib}.dll.a")
  if(NOT _dll OR NOT EXISTS "${_implib}")
    message(FATAL_ERROR "${_vell_ffmpeg_prefix} has no ${_lib} DLL and import library")
  endif()
  add_library(vell::ffmpeg_${_lib} SHARED IMPORTED)
  set_target_properties(vell::ffmpeg_${_lib} PROPERTIES
    IMPORTED_LOCATION "${_dll}"
    IMPORTED_IMPLIB "${_implib}"
    INTERFACE_INCLUDE_DIRECTORIES "${_vell_ffmpeg_prefix}/include")
  target_link_libraries(vell::ffmpeg INTERFACE vell::ffmpeg_${_lib})
  list(APPEND VELL_WINDOWS_RUNTIME_DLLS "${_dll}")
endforeach()

# libass with FreeType, FriBidi and HarfBuzz ----------------------------------------------------
set(VELL_LIBASS_WINDOWS_PREFIX "" CACHE PATH
    "libass for Windows (include/ass, lib/libass.dll.a, bin/*.dll); empty: the one tools/build-libass-windows.sh built last")
_vell_cached_prefix(libass VELL_LIBASS_WINDOWS_PREFIX)
if(NOT EXISTS "${_vell_libass_prefix}/include/ass/ass.h" OR NOT EXISTS "${_vell_libass_prefix}/lib/libass.dll.a")
  message(FATAL_ERROR "No libass for Windows: run tools/build-libass-windows.sh "
                      "or set VELL_LIBASS_WINDOWS_PREFIX (now: '${_vell_libass_prefix}')")
endif()
message(STATUS "libass for Windows: ${_vell_libass_prefix}")
add_library(vell::libass SHARED IMPORTED)
file(GLOB _dll "${_vell_libass_prefix}/bin/libass-*.dll")
set_target_properties(vell::libass PROPERTIES
  IMPORTED_LOCATION "${_dll}"
  IMPORTED_IMPLIB "${_vell_libass_prefix}/lib/libass.dll.a"
  INTERFACE_INCLUDE_DIRECTORIES "${_vell_libass_prefix}/include")
# libass and the DLLs it loads (FreeType, FriBidi, HarfBuzz).
file(GLOB _dlls "${_vell_libass_prefix}/bin/*.dll")
list(FILTER _dlls EXCLUDE REGEX "subset")  # HarfBuzz's font subsetter is not used
list(APPEND VELL_WINDOWS_RUNTIME_DLLS ${_dlls})

# Windows system libraries --------------------------------------------------------------------
add_library(vell_windows_system INTERFACE)
add_library(vell::windows_system ALIAS vell_windows_system)
target_link_libraries(vell_windows_system INTERFACE
  winhttp ws2_32 ole32 oleaut32 uuid avrt ksuser psapi shlwapi shell32 userenv winmm)
# The canvas and the presenter: Direct2D, DirectWrite, WIC, Direct3D 11.
target_link_libraries(vell_windows_system INTERFACE d2d1 dwrite windowscodecs d3d11 dxgi d3dcompiler gdi32)
# <windows.h> must not turn std::min and std::max into macros.
target_compile_definitions(vell_windows_system INTERFACE NOMINMAX)

# GoogleTest from Debian's source (libgtest-dev), under the names find_package(GTest) gives --------
if(VELL_TESTS)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)  # Windows threads, not winpthread
  set(BUILD_GMOCK OFF)
  set(INSTALL_GTEST OFF)
  set(VELL_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest's source")
  add_subdirectory("${VELL_GTEST_SOURCE_DIR}" "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL SYSTEM)
  foreach(_lib gtest gtest_main)
    if(NOT TARGET GTest::${_lib})  # GoogleTest 1.11 and later name them so itself
      add_library(GTest::${_lib} ALIAS ${_lib})
    endif()
  endforeach()
  # find_package(GTest) (tests/CMakeLists.txt) finds these targets through a config file of its own.
  file(WRITE "${CMAKE_BINARY_DIR}/gtest-config/GTestConfig.cmake"
       "# GoogleTest is built in this tree (cmake/Windows.cmake).\n")
  set(GTest_DIR "${CMAKE_BINARY_DIR}/gtest-config" CACHE PATH "" FORCE)
endif()

# Wine runs what is built ---------------------------------------------------------------------
if(CMAKE_CROSSCOMPILING AND NOT CMAKE_CROSSCOMPILING_EMULATOR)
  set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_SOURCE_DIR}/tools/wine-run.sh")
endif()

# At the end of the top-level CMakeLists.txt, once every target exists: the third-party DLLs go beside
# every program, and the product library links the Windows libraries.
function(_vell_windows_targets dir out)
  get_property(_targets DIRECTORY "${dir}" PROPERTY BUILDSYSTEM_TARGETS)
  get_property(_subdirs DIRECTORY "${dir}" PROPERTY SUBDIRECTORIES)
  foreach(_sub IN LISTS _subdirs)
    _vell_windows_targets("${_sub}" _more)
    list(APPEND _targets ${_more})
  endforeach()
  set(${out} ${_targets} PARENT_SCOPE)
endfunction()

function(_vell_windows_finish)
  _vell_windows_targets("${CMAKE_SOURCE_DIR}" _targets)
  set(_programs "")
  set(_dirs "")
  foreach(_target IN LISTS _targets)
    get_target_property(_type ${_target} TYPE)
    if(NOT _type STREQUAL "EXECUTABLE")
      continue()
    endif()
    get_target_property(_dir ${_target} RUNTIME_OUTPUT_DIRECTORY)
    if(NOT _dir)
      get_target_property(_dir ${_target} BINARY_DIR)
    endif()
    list(APPEND _programs ${_target})
    list(APPEND _dirs "${_dir}")
  endforeach()
  list(REMOVE_DUPLICATES _dirs)
  set(_copies "")
  foreach(_dir IN LISTS _dirs)
    list(APPEND _copies COMMAND ${CMAKE_COMMAND} -E make_directory "${_dir}"
                        COMMAND ${CMAKE_COMMAND} -E copy_if_different ${VELL_WINDOWS_RUNTIME_DLLS} "${_dir}")
  endforeach()
  add_custom_target(vell_runtime_dlls ALL ${_copies} COMMENT "Third-party DLLs beside the programs" VERBATIM)
  foreach(_program IN LISTS _programs)
    add_dependencies(${_program} vell_runtime_dlls)
  endforeach()
  foreach(_lib vell_core vell)
    if(TARGET ${_lib})
      target_link_libraries(${_lib} PUBLIC vell::windows_system)
      break()
    endif()
  endforeach()
endfunction()
cmake_language(DEFER CALL _vell_windows_finish)
