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
