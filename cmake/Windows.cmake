# SPDX-License-Identifier: GPL-3.0-or-later
# Windows builds (cross-built with cmake/toolchains/mingw-w64-x86_64.cmake).

# Tests run through Wine, with a prefix of their own inside the build folder
# so that nothing is written under the home folder.
set(ZR8_WINE_PREFIX ${CMAKE_BINARY_DIR}/wine-prefix CACHE PATH "Wine prefix the Windows tests run in")
if(CMAKE_CROSSCOMPILING AND NOT CMAKE_CROSSCOMPILING_EMULATOR)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/scripts/wine-run ${ZR8_WINE_PREFIX})
endif()

# The serial tests talk to the simulated controller built for the host.
set(ZR8_HOST_SIM ${PROJECT_SOURCE_DIR}/build/default/sim/zr8-sim
    CACHE FILEPATH "zr8-sim built for the host (the default preset's build)")

# The Linux zr8ctl makes the backup the Windows one restores in its tests.
set(ZR8_HOST_ZR8CTL ${PROJECT_SOURCE_DIR}/build/default/ui/cli/zr8ctl
    CACHE FILEPATH "zr8ctl built for the host (the default preset's build)")

# Tests that talk to simulated controllers (the serial port's, the end-to-end
# ones, the benchmark's short run) add ZR8_SIM_TEST_PROPERTIES. Under Wine
# they are zr8-sim processes for the host on COM ports of the prefix, started
# before the first such test and ended after the last (scripts/wine-sims;
# tests/CMakeLists.txt adds the two), one test at a time using them;
# ZR8_SIM_STATE/ports names each port's role. On Windows itself there are
# none and those tests are skipped.
if(CMAKE_CROSSCOMPILING)
  set(ZR8_SIM_STATE ${CMAKE_BINARY_DIR}/wine-sims)
  set(ZR8_SIM_TEST_PROPERTIES RESOURCE_LOCK com_ports FIXTURES_REQUIRED zr8_sims)
endif()

# Debian ships GoogleTest as sources; build it with this compiler.
set(ZR8_GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources to build")

function(zr8_add_googletest_from_source)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory(${ZR8_GOOGLETEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  # Newer GoogleTest releases name their targets like its package does.
  foreach(target gtest gtest_main gmock gmock_main)
    if(NOT TARGET GTest::${target})
      add_library(GTest::${target} ALIAS ${target})
    endif()
  endforeach()
endfunction()

# CLI11 and nlohmann-json are header-only: zr8ctl takes Debian's, copied
# into a folder of their own, so that the cross build sees no other header
# of this machine's /usr/include.
set(ZR8_HOST_HEADER_DIR /usr/include CACHE PATH "Where Debian's CLI11 and nlohmann-json headers are")
set(ZR8_HEADER_ONLY_DIR ${CMAKE_BINARY_DIR}/header-only)
foreach(package CLI nlohmann)
  if(NOT EXISTS ${ZR8_HOST_HEADER_DIR}/${package})
    message(FATAL_ERROR "${ZR8_HOST_HEADER_DIR}/${package} is missing: scripts/setup installs it")
  endif()
  file(COPY ${ZR8_HOST_HEADER_DIR}/${package} DESTINATION ${ZR8_HEADER_ONLY_DIR})
endforeach()
add_library(CLI11::CLI11 INTERFACE IMPORTED)
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
set_target_properties(CLI11::CLI11 nlohmann_json::nlohmann_json PROPERTIES
  INTERFACE_INCLUDE_DIRECTORIES ${ZR8_HEADER_ONLY_DIR})
