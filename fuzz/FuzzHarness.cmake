# What the fuzz targets' checks need, shared by the libFuzzer build (fuzz/)
# and the replay build of the test suite (tests/hostile/):
#   pixpen_fuzz_checks(target [PNG_DECODER])
# gives `target` the fuzz/ and src/ headers (for the message table) and tells
# it whether this pixpen encodes PNG; PNG_DECODER also links libspng, with
# which draw_roundtrip decodes the PNG it encodes.
include_guard(GLOBAL)

find_package(PkgConfig QUIET)
if(PKG_CONFIG_FOUND)
  pkg_check_modules(PIXPEN_SPNG QUIET IMPORTED_TARGET GLOBAL spng)
endif()
if(NOT TARGET PkgConfig::PIXPEN_SPNG)
  message(STATUS "libspng not found (Debian: libspng-dev): the draw_roundtrip fuzz checks are "
                 "built WITHOUT decoding the PNG they encode")
endif()

function(pixpen_fuzz_checks target)
  cmake_parse_arguments(PARSE_ARGV 1 _fuzz "PNG_DECODER" "" "")
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/fuzz ${PROJECT_SOURCE_DIR}/src)
  if(PIXPEN_PNG_COMPRESSOR)
    target_compile_definitions(${target} PRIVATE PIXPEN_FUZZ_PNG_BUILT=1)
  endif()
  if(_fuzz_PNG_DECODER AND TARGET PkgConfig::PIXPEN_SPNG)
    target_compile_definitions(${target} PRIVATE PIXPEN_FUZZ_SPNG=1)
    target_link_libraries(${target} PRIVATE PkgConfig::PIXPEN_SPNG)
  endif()
endfunction()
