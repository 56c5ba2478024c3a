# WebAssembly with the system's emscripten (Debian: apt-get install emscripten).
# Wraps emscripten's own toolchain file, found beside whichever emcc is on
# PATH, so that the same command works with Debian's package and with a
# locally unpacked emscripten.
#
#   cmake -S . -B build-web --toolchain cmake/toolchains/emscripten.cmake
#
# web/build.sh is the one command that builds the module, the JavaScript face
# and the playground this way.
find_program(PIXPEN_EM_CONFIG em-config)
if(NOT PIXPEN_EM_CONFIG)
  message(FATAL_ERROR "emscripten not found: em-config is not on PATH (Debian: apt-get install emscripten)")
endif()
execute_process(COMMAND ${PIXPEN_EM_CONFIG} EMSCRIPTEN_ROOT
                OUTPUT_VARIABLE _pixpen_emscripten_root OUTPUT_STRIP_TRAILING_WHITESPACE
                RESULT_VARIABLE _pixpen_em_result)
set(_pixpen_em_toolchain "${_pixpen_emscripten_root}/cmake/Modules/Platform/Emscripten.cmake")
if(NOT _pixpen_em_result EQUAL 0 OR NOT EXISTS "${_pixpen_em_toolchain}")
  message(FATAL_ERROR "emscripten's CMake toolchain was not found under '${_pixpen_emscripten_root}'")
endif()
include("${_pixpen_em_toolchain}")
