# SPDX-License-Identifier: GPL-3.0-or-later
# Header-only libraries from the host's Debian packages (Boost, nlohmann-json,
# CLI11) in a cross build: the MinGW-w64 compiler must not see the host's
# /usr/include, so each library's folder is linked into a folder of its own
# in the build tree and only that is added to the include path.
#   zr8_host_headers(<target> <folder under /usr/include>...)
function(zr8_host_headers target)
  set(folder ${CMAKE_BINARY_DIR}/host-headers)
  file(MAKE_DIRECTORY ${folder})
  foreach(name ${ARGN})
    if(NOT EXISTS /usr/include/${name})
      message(FATAL_ERROR "/usr/include/${name} is missing: scripts/setup installs it")
    endif()
    if(NOT EXISTS ${folder}/${name})
      file(CREATE_LINK /usr/include/${name} ${folder}/${name} SYMBOLIC)
    endif()
  endforeach()
  # Their warnings are not ours to keep.
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} SYSTEM INTERFACE ${folder})
  else()
    target_include_directories(${target} SYSTEM PUBLIC ${folder})
  endif()
endfunction()
