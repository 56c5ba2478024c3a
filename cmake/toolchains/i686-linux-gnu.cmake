# 32-bit little-endian x86, run under qemu-i386: 32-bit size_t and pointers,
# and no __int128.
#   cmake -S . -B build-i686 --toolchain cmake/toolchains/i686-linux-gnu.cmake
set(PIXPEN_CROSS_TRIPLE i686-linux-gnu)
set(PIXPEN_CROSS_PROCESSOR i686)
set(PIXPEN_CROSS_MULTIARCH i386-linux-gnu)
set(PIXPEN_CROSS_QEMU qemu-i386)
include(${CMAKE_CURRENT_LIST_DIR}/linux-gnu-cross.cmake)
