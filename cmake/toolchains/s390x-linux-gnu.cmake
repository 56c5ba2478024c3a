# 64-bit big-endian IBM Z, run under qemu-s390x: the byte-order paths of the
# file readers and writers.
#   cmake -S . -B build-s390x --toolchain cmake/toolchains/s390x-linux-gnu.cmake
set(PIXPEN_CROSS_TRIPLE s390x-linux-gnu)
set(PIXPEN_CROSS_PROCESSOR s390x)
set(PIXPEN_CROSS_MULTIARCH s390x-linux-gnu)
set(PIXPEN_CROSS_QEMU qemu-s390x)
include(${CMAKE_CURRENT_LIST_DIR}/linux-gnu-cross.cmake)
