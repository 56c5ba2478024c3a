# 32-bit little-endian x86: 32-bit size_t and pointers, and no __int128.
#   cmake -S . -B build-i686 --toolchain cmake/toolchains/i686-linux-gnu.cmake
set(PIXPEN_CROSS_TRIPLE i686-linux-gnu)
set(PIXPEN_CROSS_PROCESSOR i686)
set(PIXPEN_CROSS_MULTIARCH i386-linux-gnu)
set(PIXPEN_CROSS_QEMU qemu-i386)

# qemu-i386 (7.2) spins forever in a forked child and in threaded programs,
# both of which the tests use. An x86-64 kernel runs i686 code itself, so
# there the target's own dynamic loader starts the tests, with the target's
# libraries; elsewhere, or with -DPIXPEN_CROSS_USE_QEMU=ON, qemu-i386 does.
option(PIXPEN_CROSS_USE_QEMU "Run the i686 tests under qemu-i386 even where the kernel runs them" OFF)
set(_pixpen_i686_loader /usr/${PIXPEN_CROSS_TRIPLE}/lib/ld-linux.so.2)
if(NOT PIXPEN_CROSS_USE_QEMU AND EXISTS ${_pixpen_i686_loader})
  execute_process(COMMAND ${_pixpen_i686_loader} --version
                  RESULT_VARIABLE _pixpen_i686_native OUTPUT_QUIET ERROR_QUIET)
  if(_pixpen_i686_native EQUAL 0)
    set(PIXPEN_CROSS_EMULATOR ${_pixpen_i686_loader} --library-path /usr/${PIXPEN_CROSS_TRIPLE}/lib)
  endif()
endif()

include(${CMAKE_CURRENT_LIST_DIR}/linux-gnu-cross.cmake)
