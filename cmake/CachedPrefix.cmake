include_guard(GLOBAL)

# Third-party prefixes --------------------------------------------------------------------------
# The build scripts write the prefix they built into <cache>/<name>-<target>.prefix.
# _vell_cached_prefix(NAME VAR [TARGET]) sets _vell_NAME_prefix: VAR when set, else the prefix the
# script for TARGET (default windows) built last.
function(_vell_cached_prefix name var)
  set(_target windows)
  if(ARGC GREATER 2)
    set(_target "${ARGV2}")
  endif()
  set(_prefix "${${var}}")
  if(NOT _prefix)
    set(_dirs "$ENV{VELL_CACHE_DIR}" /var/cache/vell-player)
    if(DEFINED ENV{XDG_CACHE_HOME})
      list(APPEND _dirs "$ENV{XDG_CACHE_HOME}/vell-player")
    endif()
    list(APPEND _dirs "$ENV{HOME}/.cache/vell-player")
    foreach(_dir IN LISTS _dirs)
      if(_dir AND EXISTS "${_dir}/${name}-${_target}.prefix")
        file(STRINGS "${_dir}/${name}-${_target}.prefix" _prefix LIMIT_COUNT 1)
        # A rebuilt library (new prefix) reconfigures the tree.
        set_property(DIRECTORY "${CMAKE_SOURCE_DIR}" APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
                     "${_dir}/${name}-${_target}.prefix")
        break()
      endif()
    endforeach()
  endif()
  set(_vell_${name}_prefix "${_prefix}" PARENT_SCOPE)
endfunction()
