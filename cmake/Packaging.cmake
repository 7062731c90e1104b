# What a release needs beyond the program: the icons made from the SVG, the Windows version
# resource, the licence notes and the install layout, and CPack's Debian package on Linux.
# tools/package.sh builds the three packages from here; included at the end of the top-level
# CMakeLists.txt, once the program's target exists.
include_guard(GLOBAL)
include(GNUInstallDirs)

set(VELL_MAINTAINER "Vell Player developers <vell-player@example.org>")

# Icons: every size drawn from the one SVG, none checked in. Without the tools the build goes
# on without them (a development build needs none); tools/package.sh installs the tools.
set(VELL_ICON_SVG ${CMAKE_SOURCE_DIR}/data/desktop/vell-player.svg)
set(VELL_ICON_SIZES 16 24 32 48 64 128 256)
set(VELL_ICON_DIR ${CMAKE_BINARY_DIR}/icons)
find_program(VELL_RSVG_CONVERT rsvg-convert)
find_program(VELL_ICOTOOL icotool)
set(VELL_ICON_PNGS "")
if(VELL_RSVG_CONVERT)
  foreach(size IN LISTS VELL_ICON_SIZES)
    set(png ${VELL_ICON_DIR}/${size}x${size}/vell-player.png)
    add_custom_command(OUTPUT ${png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${VELL_ICON_DIR}/${size}x${size}
      COMMAND ${VELL_RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${VELL_ICON_SVG}
      DEPENDS ${VELL_ICON_SVG} VERBATIM)
    list(APPEND VELL_ICON_PNGS ${png})
  endforeach()
else()
  message(STATUS "rsvg-convert not found (librsvg2-bin): no PNG or .ico icons")
endif()
set(VELL_ICO "")
if(WIN32 AND VELL_RSVG_CONVERT AND VELL_ICOTOOL)
  # The largest size goes in as PNG, as Windows expects at 256 px.
  set(VELL_ICO ${VELL_ICON_DIR}/vell-player.ico)
  set(small_pngs ${VELL_ICON_PNGS})
  list(POP_BACK small_pngs big_png)
  add_custom_command(OUTPUT ${VELL_ICO}
    COMMAND ${VELL_ICOTOOL} -c -o ${VELL_ICO} ${small_pngs} --raw=${big_png}
    DEPENDS ${VELL_ICON_PNGS} VERBATIM)
endif()
if(VELL_ICON_PNGS)
  add_custom_target(vell_icons ALL DEPENDS ${VELL_ICON_PNGS} ${VELL_ICO})
endif()

# Licence notes: the project's own licence and what is said about each library shipped.
set(VELL_LICENSES_DIR ${CMAKE_BINARY_DIR}/LICENSES)
file(REMOVE_RECURSE ${VELL_LICENSES_DIR})
configure_file(${CMAKE_SOURCE_DIR}/LICENSE ${VELL_LICENSES_DIR}/vell-player.txt COPYONLY)
# The FFmpeg libraries carry their configure line; the build script notes the Debian version
# beside them.
if(WIN32)
  set(avutil_lib ${VELL_WINDOWS_RUNTIME_DLLS})
  list(FILTER avutil_lib INCLUDE REGEX "avutil-[0-9]+\\.dll$")
  get_filename_component(ffmpeg_prefix "${avutil_lib}" DIRECTORY)
  get_filename_component(ffmpeg_prefix "${ffmpeg_prefix}" DIRECTORY)
else()
  set(ffmpeg_prefix "${_vell_ffmpeg_prefix}")
  file(REAL_PATH "${ffmpeg_prefix}/lib/libavutil.so" avutil_lib)
endif()
file(STRINGS "${avutil_lib}" VELL_FFMPEG_CONFIGURATION REGEX "^--prefix=.*--disable-encoders" LIMIT_COUNT 1)
file(STRINGS "${ffmpeg_prefix}/.complete" ffmpeg_line LIMIT_COUNT 1)
string(REGEX REPLACE "^ffmpeg " "" VELL_FFMPEG_DEBIAN_VERSION "${ffmpeg_line}")
string(REGEX REPLACE "^[0-9]+:" "" VELL_FFMPEG_VERSION "${VELL_FFMPEG_DEBIAN_VERSION}")
string(REGEX REPLACE "-[^-]*$" "" VELL_FFMPEG_VERSION "${VELL_FFMPEG_VERSION}")
if(NOT VELL_FFMPEG_CONFIGURATION OR NOT VELL_FFMPEG_VERSION)
  message(WARNING "The FFmpeg build in ${ffmpeg_prefix} does not say how it was made")
endif()
if(WIN32)
  configure_file(cmake/templates/ffmpeg-windows.txt.in ${VELL_LICENSES_DIR}/ffmpeg.txt @ONLY)
  configure_file(cmake/templates/licenses-windows.txt.in ${VELL_LICENSES_DIR}/README.txt @ONLY)
  configure_file(/usr/share/common-licenses/LGPL-2.1 ${VELL_LICENSES_DIR}/LGPL-2.1.txt COPYONLY)
  configure_file(/usr/share/doc/libz-mingw-w64-dev/copyright ${VELL_LICENSES_DIR}/zlib.txt COPYONLY)
  configure_file(/usr/share/doc/mingw-w64-x86-64-dev/copyright ${VELL_LICENSES_DIR}/mingw-w64.txt COPYONLY)
  # dav1d (inside avcodec), libass, FreeType, FriBidi and HarfBuzz: their Debian copyright files,
  # which the build scripts keep beside what they built.
  file(GLOB _notes "${ffmpeg_prefix}/licenses/*.txt" "${_vell_libass_prefix}/licenses/*.txt")
  foreach(_note IN LISTS _notes)
    get_filename_component(_name "${_note}" NAME)
    configure_file("${_note}" "${VELL_LICENSES_DIR}/${_name}" COPYONLY)
  endforeach()
else()
  # Debian's copyright file of the source, beside the note (the LGPL 3 is in common-licenses).
  configure_file(cmake/templates/ffmpeg-linux.txt.in ${VELL_LICENSES_DIR}/ffmpeg.txt @ONLY)
  configure_file("${ffmpeg_prefix}/licenses/ffmpeg.txt" ${VELL_LICENSES_DIR}/ffmpeg-copyright.txt COPYONLY)
endif()

if(NOT TARGET vell-player)
  return()
endif()

if(WIN32)
  # Icon 1 (the window's icon), the version shown in the file's properties and the manifest.
  enable_language(RC)
  set(VELL_MANIFEST ${CMAKE_BINARY_DIR}/vell-player.manifest)
  configure_file(cmake/templates/vell-player.manifest.in ${VELL_MANIFEST} @ONLY)
  set(VELL_RC_ICON "")
  set(rc_inputs ${VELL_MANIFEST})
  if(VELL_ICO)
    set(VELL_RC_ICON "1 ICON \"${VELL_ICO}\"")
    list(APPEND rc_inputs ${VELL_ICO})
  endif()
  set_source_files_properties(${CMAKE_BINARY_DIR}/vell-player.rc PROPERTIES OBJECT_DEPENDS "${rc_inputs}")
  configure_file(cmake/templates/vell-player.rc.in ${CMAKE_BINARY_DIR}/vell-player.rc @ONLY)
  target_sources(vell-player PRIVATE ${CMAKE_BINARY_DIR}/vell-player.rc)

  # The folder both Windows packages are made from (cmake --install): the portable zip adds
  # its marker, the installer does not.
  install(TARGETS vell-player RUNTIME DESTINATION .)
  install(FILES ${VELL_WINDOWS_RUNTIME_DLLS} ${CMAKE_SOURCE_DIR}/data/streams.ini DESTINATION .)
  install(DIRECTORY ${VELL_LICENSES_DIR}/ DESTINATION LICENSES)
  return()
endif()

# Linux: the desktop's icon sizes, the AppStream entry, the manual page and the Debian notes.
set(VELL_APPSTREAM_ID org.vellplayer.VellPlayer)
foreach(size IN LISTS VELL_ICON_SIZES)
  if(VELL_RSVG_CONVERT)
    install(FILES ${VELL_ICON_DIR}/${size}x${size}/vell-player.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  endif()
endforeach()

# Debian wants its notes compressed without a time stamp.
set(VELL_DEB_VERSION ${PROJECT_VERSION}-1)
string(TIMESTAMP VELL_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
set(deb_dir ${CMAKE_BINARY_DIR}/deb)
set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/vell-player)
configure_file(data/man/vell-player.1 ${deb_dir}/vell-player.1 @ONLY)
configure_file(cmake/templates/changelog.Debian.in ${deb_dir}/changelog.Debian @ONLY)
configure_file(cmake/templates/copyright.in ${deb_dir}/copyright @ONLY)
string(TIMESTAMP VELL_RELEASE_DATE "%Y-%m-%d" UTC)
configure_file(data/desktop/${VELL_APPSTREAM_ID}.metainfo.xml ${deb_dir}/${VELL_APPSTREAM_ID}.metainfo.xml @ONLY)
install(FILES ${deb_dir}/${VELL_APPSTREAM_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
add_custom_command(OUTPUT ${deb_dir}/vell-player.1.gz ${deb_dir}/changelog.Debian.gz
  COMMAND gzip -9nf -k ${deb_dir}/vell-player.1 ${deb_dir}/changelog.Debian
  DEPENDS ${deb_dir}/vell-player.1 ${deb_dir}/changelog.Debian VERBATIM)
add_custom_target(vell_deb_notes ALL DEPENDS ${deb_dir}/vell-player.1.gz ${deb_dir}/changelog.Debian.gz)
install(FILES ${deb_dir}/vell-player.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${deb_dir}/copyright ${deb_dir}/changelog.Debian.gz DESTINATION ${doc_dir})
install(DIRECTORY ${VELL_LICENSES_DIR} DESTINATION ${doc_dir})

# The player's own FFmpeg libraries, in a folder of the package's own, found through the
# program's run path. Each is installed under its soname, the name the loader looks for.
set(VELL_PRIVATE_LIB_DIR lib/vell-player)
foreach(_lib avformat avcodec avutil swscale swresample)
  file(REAL_PATH "${_vell_ffmpeg_prefix}/lib/lib${_lib}.so" _file)
  string(REGEX REPLACE "^.*/(lib${_lib}\\.so\\.[0-9]+)\\.[0-9.]+$" "\\1" _soname "${_file}")
  install(FILES "${_file}" DESTINATION ${VELL_PRIVATE_LIB_DIR} RENAME ${_soname})
endforeach()
set_target_properties(vell-player PROPERTIES INSTALL_RPATH "\$ORIGIN/../${VELL_PRIVATE_LIB_DIR}")
install(FILES data/debian/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME vell-player)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vell-player)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Vell Player developers")
set(CPACK_PACKAGE_CONTACT "${VELL_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "media player for files, internet radio and podcasts")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# tools/package.sh works the Depends out itself (dpkg-shlibdeps over the installed tree, where
# the FFmpeg libraries inside are known as the package's own) and adds this line to them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
# libcurl is loaded by name on the first podcast fetch, so dpkg-shlibdeps does not see it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libcurl4 (>= 7.85)")
# The file chooser is a separate program on Linux; without one, paths are typed.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "zenity | kdialog")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS yt-dlp)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# CPack puts the summary above this text.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Vell Player plays local video and audio files, internet radio (HTTP,
Icecast and Shoutcast, HLS and PLS) and podcast episodes in one window with
a Korean user interface. It keeps a play queue, resumes where a file was
left, shows SRT and SAMI subtitles and comes with a list of stations and
podcasts. Pages of video sites play through yt-dlp when it is installed.")
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
