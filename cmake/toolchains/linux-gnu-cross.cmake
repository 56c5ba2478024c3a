# Shared by the <triple>.cmake toolchain files beside it: Debian's cross
# compilers (g++-<triple>) and their target libraries in /usr/<triple>, with
# qemu-user (or another runner) starting the target's programs, so that ctest
# works unchanged.
#
# The including file sets PIXPEN_CROSS_TRIPLE, PIXPEN_CROSS_PROCESSOR,
# PIXPEN_CROSS_MULTIARCH (Debian's library directory name) and
# PIXPEN_CROSS_QEMU before including this one.

set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR ${PIXPEN_CROSS_PROCESSOR})

set(CMAKE_C_COMPILER ${PIXPEN_CROSS_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${PIXPEN_CROSS_TRIPLE}-g++)

# Libraries, headers and CMake packages come from the target's tree only, so
# that nothing built for the host (the system GoogleTest, say) is picked up;
# programs (pkg-config, Python, ...) are the host's.
set(CMAKE_FIND_ROOT_PATH /usr/${PIXPEN_CROSS_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config answers for the target too: the host's .pc files would hand the
# host's libraries (libspng, libdeflate) to the target's linker.
set(ENV{PKG_CONFIG_LIBDIR} "/usr/lib/${PIXPEN_CROSS_MULTIARCH}/pkgconfig:/usr/${PIXPEN_CROSS_TRIPLE}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")

# The export check must list the target's symbol table with the target's
# binutils; named here so that a compiler wrapper cannot hide the prefix.
find_program(CMAKE_NM NAMES ${PIXPEN_CROSS_TRIPLE}-nm REQUIRED)

# -L points qemu's dynamic loader at the target's libc and libstdc++; paths
# outside that tree (the build directory's libpixpen.so) resolve as usual.
# A toolchain file may name another runner in PIXPEN_CROSS_EMULATOR.
if(NOT PIXPEN_CROSS_EMULATOR)
  set(PIXPEN_CROSS_EMULATOR ${PIXPEN_CROSS_QEMU} -L /usr/${PIXPEN_CROSS_TRIPLE})
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR ${PIXPEN_CROSS_EMULATOR})
