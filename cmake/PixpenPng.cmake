# The compression library behind PNG output: libdeflate (fastest), else zlib.
# Without either the library still builds with the same exported symbols, and
# encoding PNG fails with PIXPEN_ERROR_UNSUPPORTED_FORMAT.
#
#   -DPIXPEN_PNG=AUTO        libdeflate if found, else zlib, else PNG off (default)
#   -DPIXPEN_PNG=LIBDEFLATE  libdeflate or a configure error; ZLIB likewise
#   -DPIXPEN_PNG=OFF         no PNG output
#
# pixpen_link_png(target) compiles the target with PIXPEN_PNG_LIBDEFLATE or
# PIXPEN_PNG_ZLIB and links the library privately. It sets PIXPEN_PNG_COMPRESSOR
# ("libdeflate", "zlib" or "") and PIXPEN_PNG_LIBRARIES (what a static
# libpixpen.a adds to a consumer's link line) in the caller's scope.
set(PIXPEN_PNG "AUTO" CACHE STRING "PNG output through libdeflate or zlib: AUTO, LIBDEFLATE, ZLIB or OFF")
set_property(CACHE PIXPEN_PNG PROPERTY STRINGS AUTO LIBDEFLATE ZLIB OFF)
string(TOUPPER "${PIXPEN_PNG}" _pixpen_png_choice)
if(NOT _pixpen_png_choice MATCHES "^(AUTO|LIBDEFLATE|ZLIB|OFF)$")
  message(FATAL_ERROR "PIXPEN_PNG must be AUTO, LIBDEFLATE, ZLIB or OFF, not '${PIXPEN_PNG}'")
endif()

# libdeflate: its own CMake package (1.15 and later), else pkg-config (Debian's
# 1.14 ships only libdeflate.pc), else a plain search for header and library.
function(_pixpen_find_libdeflate found_var include_var library_var)
  set(${found_var} FALSE PARENT_SCOPE)
  find_package(libdeflate CONFIG QUIET)
  foreach(_target libdeflate::libdeflate_shared libdeflate::libdeflate_static)
    if(TARGET ${_target})
      get_target_property(_location ${_target} LOCATION)
      get_target_property(_include ${_target} INTERFACE_INCLUDE_DIRECTORIES)
      if(_location AND _include)
        set(${found_var} TRUE PARENT_SCOPE)
        set(${include_var} "${_include}" PARENT_SCOPE)
        set(${library_var} "${_location}" PARENT_SCOPE)
        return()
      endif()
    endif()
  endforeach()
  find_package(PkgConfig QUIET)
  if(PKG_CONFIG_FOUND)
    pkg_check_modules(PIXPEN_PC_LIBDEFLATE QUIET libdeflate)
  endif()
  find_path(PIXPEN_LIBDEFLATE_INCLUDE_DIR libdeflate.h HINTS ${PIXPEN_PC_LIBDEFLATE_INCLUDE_DIRS})
  find_library(PIXPEN_LIBDEFLATE_LIBRARY NAMES deflate libdeflate
               HINTS ${PIXPEN_PC_LIBDEFLATE_LIBRARY_DIRS})
  mark_as_advanced(PIXPEN_LIBDEFLATE_INCLUDE_DIR PIXPEN_LIBDEFLATE_LIBRARY)
  if(PIXPEN_LIBDEFLATE_INCLUDE_DIR AND PIXPEN_LIBDEFLATE_LIBRARY)
    set(${found_var} TRUE PARENT_SCOPE)
    set(${include_var} "${PIXPEN_LIBDEFLATE_INCLUDE_DIR}" PARENT_SCOPE)
    set(${library_var} "${PIXPEN_LIBDEFLATE_LIBRARY}" PARENT_SCOPE)
  endif()
endfunction()

# A library in one of the linker's own directories is linked by name, so that
# the exported static target and pixpen.pc stay valid on another machine;
# anything else by its full path.
function(_pixpen_link_item out library)
  get_filename_component(_dir "${library}" DIRECTORY)
  get_filename_component(_name "${library}" NAME_WE)
  string(REGEX REPLACE "^lib" "" _name "${_name}")
  set(_item "${library}")
  foreach(_implicit IN LISTS CMAKE_C_IMPLICIT_LINK_DIRECTORIES)
    get_filename_component(_implicit "${_implicit}" REALPATH)
    get_filename_component(_real "${_dir}" REALPATH)
    if(_real STREQUAL _implicit)
      set(_item "${_name}")
    endif()
  endforeach()
  set(${out} "${_item}" PARENT_SCOPE)
endfunction()

function(pixpen_link_png target)
  set(_compressor "")
  set(_include "")
  set(_library "")
  if(_pixpen_png_choice MATCHES "^(AUTO|LIBDEFLATE)$")
    _pixpen_find_libdeflate(_found _include _library)
    if(_found)
      set(_compressor libdeflate)
    elseif(_pixpen_png_choice STREQUAL "LIBDEFLATE")
      message(FATAL_ERROR "PIXPEN_PNG=LIBDEFLATE but libdeflate was not found (Debian: apt-get install libdeflate-dev)")
    endif()
  endif()
  if(NOT _compressor AND _pixpen_png_choice MATCHES "^(AUTO|ZLIB)$")
    find_package(ZLIB QUIET)
    if(ZLIB_FOUND)
      set(_compressor zlib)
      set(_include "${ZLIB_INCLUDE_DIRS}")
      list(GET ZLIB_LIBRARIES 0 _library)
    elseif(_pixpen_png_choice STREQUAL "ZLIB")
      message(FATAL_ERROR "PIXPEN_PNG=ZLIB but zlib was not found (Debian: apt-get install zlib1g-dev)")
    endif()
  endif()

  if(_compressor)
    _pixpen_link_item(_item "${_library}")
    string(TOUPPER "${_compressor}" _macro)
    # The objects' users (libpixpen, the white-box tests) see the choice too.
    target_compile_definitions(${target} PUBLIC PIXPEN_PNG_${_macro})
    target_include_directories(${target} SYSTEM PUBLIC ${_include})
    target_link_libraries(${target} PUBLIC ${_item})
    message(STATUS "PNG output: ${_compressor} (${_library})")
    set(PIXPEN_PNG_LIBRARIES "${_item}" PARENT_SCOPE)
  elseif(_pixpen_png_choice STREQUAL "OFF")
    message(STATUS "PNG output: off (PIXPEN_PNG=OFF); encoding PNG reports an unsupported format")
    set(PIXPEN_PNG_LIBRARIES "" PARENT_SCOPE)
  else()
    message(WARNING "PNG output is DISABLED: neither libdeflate nor zlib was found. "
                    "Install libdeflate-dev (fastest) or zlib1g-dev and configure again; "
                    "until then encoding PNG reports an unsupported format.")
    set(PIXPEN_PNG_LIBRARIES "" PARENT_SCOPE)
  endif()
  set(PIXPEN_PNG_COMPRESSOR "${_compressor}" PARENT_SCOPE)
endfunction()

# The decoder behind PNG input: libspng.
#
#   -DPIXPEN_PNG_READ=AUTO   libspng if found, else PNG input off (default)
#   -DPIXPEN_PNG_READ=SPNG   libspng or a configure error
#   -DPIXPEN_PNG_READ=OFF    no PNG input
#
# pixpen_link_png_reader(target) compiles the target with PIXPEN_PNG_SPNG and
# links libspng privately; without it the library keeps the same exported
# symbols and decoding PNG fails with PIXPEN_ERROR_UNSUPPORTED_FORMAT. It sets
# PIXPEN_PNG_DECODER ("libspng" or "") and appends to PIXPEN_PNG_LIBRARIES in
# the caller's scope.
set(PIXPEN_PNG_READ "AUTO" CACHE STRING "PNG input through libspng: AUTO, SPNG or OFF")
set_property(CACHE PIXPEN_PNG_READ PROPERTY STRINGS AUTO SPNG OFF)
string(TOUPPER "${PIXPEN_PNG_READ}" _pixpen_png_read_choice)
if(NOT _pixpen_png_read_choice MATCHES "^(AUTO|SPNG|OFF)$")
  message(FATAL_ERROR "PIXPEN_PNG_READ must be AUTO, SPNG or OFF, not '${PIXPEN_PNG_READ}'")
endif()

function(pixpen_link_png_reader target)
  set(_decoder "")
  set(_libraries "${PIXPEN_PNG_LIBRARIES}")
  if(NOT _pixpen_png_read_choice STREQUAL "OFF")
    find_package(PkgConfig QUIET)
    if(PKG_CONFIG_FOUND)
      pkg_check_modules(PIXPEN_PC_SPNG QUIET spng)
    endif()
    find_path(PIXPEN_SPNG_INCLUDE_DIR spng.h HINTS ${PIXPEN_PC_SPNG_INCLUDE_DIRS})
    find_library(PIXPEN_SPNG_LIBRARY NAMES spng spng_static HINTS ${PIXPEN_PC_SPNG_LIBRARY_DIRS})
    mark_as_advanced(PIXPEN_SPNG_INCLUDE_DIR PIXPEN_SPNG_LIBRARY)
    if(PIXPEN_SPNG_INCLUDE_DIR AND PIXPEN_SPNG_LIBRARY)
      set(_decoder libspng)
    elseif(_pixpen_png_read_choice STREQUAL "SPNG")
      message(FATAL_ERROR "PIXPEN_PNG_READ=SPNG but libspng was not found (Debian: apt-get install libspng-dev)")
    endif()
  endif()

  if(_decoder)
    _pixpen_link_item(_item "${PIXPEN_SPNG_LIBRARY}")
    target_compile_definitions(${target} PRIVATE PIXPEN_PNG_SPNG)
    target_include_directories(${target} SYSTEM PRIVATE ${PIXPEN_SPNG_INCLUDE_DIR})
    target_link_libraries(${target} PRIVATE ${_item})
    message(STATUS "PNG input: libspng (${PIXPEN_SPNG_LIBRARY})")
    list(APPEND _libraries "${_item}")
  elseif(_pixpen_png_read_choice STREQUAL "OFF")
    message(STATUS "PNG input: off (PIXPEN_PNG_READ=OFF); decoding PNG reports an unsupported format")
  else()
    message(WARNING "PNG input is DISABLED: libspng was not found. "
                    "Install libspng-dev and configure again; "
                    "until then decoding PNG reports an unsupported format.")
  endif()
  set(PIXPEN_PNG_DECODER "${_decoder}" PARENT_SCOPE)
  set(PIXPEN_PNG_LIBRARIES "${_libraries}" PARENT_SCOPE)
endfunction()
