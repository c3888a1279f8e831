# SPDX-License-Identifier: GPL-3.0-or-later
# zr8_warnings: an interface target every project target links, so the
# warning set is stated once.
add_library(zr8_warnings INTERFACE)
target_compile_options(zr8_warnings INTERFACE -Wall -Wextra -Wpedantic)
if(ZR8_WERROR)
  target_compile_options(zr8_warnings INTERFACE -Werror)
endif()
