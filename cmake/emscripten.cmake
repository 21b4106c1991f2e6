# The web build's toolchain: Emscripten's own file, wherever the installed
# emscripten keeps it (Debian: /usr/share/emscripten).
execute_process(COMMAND em-config EMSCRIPTEN_ROOT
  OUTPUT_VARIABLE emscripten_root OUTPUT_STRIP_TRAILING_WHITESPACE
  RESULT_VARIABLE em_config_status)
if(NOT em_config_status EQUAL 0 OR NOT EXISTS ${emscripten_root})
  message(FATAL_ERROR "em-config found no Emscripten: install the emscripten package")
endif()
include(${emscripten_root}/cmake/Modules/Platform/Emscripten.cmake)
