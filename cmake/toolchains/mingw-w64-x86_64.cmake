# SPDX-License-Identifier: GPL-3.0-or-later
# Windows x86-64 from Linux with Debian's MinGW-w64, posix-threads variant
# (std::thread and std::mutex need it). Everything is linked statically so
# that each .exe runs alone: no libstdc++, libgcc or winpthread DLL beside it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZR8_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ZR8_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZR8_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ZR8_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZR8_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

