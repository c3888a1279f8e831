# SPDX-License-Identifier: GPL-3.0-or-later
if(ZR8_SANITIZE)
  add_compile_options(-fsanitize=${ZR8_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${ZR8_SANITIZE})
endif()
