# 64-bit little-endian ARM, run under qemu-aarch64:
#   cmake -S . -B build-aarch64 --toolchain cmake/toolchains/aarch64-linux-gnu.cmake
set(PIXPEN_CROSS_TRIPLE aarch64-linux-gnu)
set(PIXPEN_CROSS_PROCESSOR aarch64)
set(PIXPEN_CROSS_MULTIARCH aarch64-linux-gnu)
set(PIXPEN_CROSS_QEMU qemu-aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/linux-gnu-cross.cmake)
