include(GNUInstallDirs)

# Warnings and sanitizers, applied per target so that nothing leaks into a
# parent project that adds pixpen as a subdirectory.
function(pixpen_apply_build_options target)
  if(CMAKE_C_COMPILER_ID MATCHES "GNU|Clang" OR CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
    if(PIXPEN_WARNINGS_AS_ERRORS)
      target_compile_options(${target} PRIVATE -Werror)
    endif()
    if(PIXPEN_SANITIZE)
      target_compile_options(${target} PRIVATE
        -fsanitize=${PIXPEN_SANITIZE} -fno-sanitize-recover=all -fno-omit-frame-pointer)
      target_link_options(${target} PRIVATE -fsanitize=${PIXPEN_SANITIZE})
    endif()
  endif()
endfunction()

# A static libpixpen.a needs the C++ runtime and libm at the final link. A C++
# consumer's linker brings the runtime itself, a C consumer's does not, so the
# libraries that the C++ linker adds beyond the C linker's (e.g. stdc++ and m
# with GCC) become part of the target's link interface and of pixpen.pc's
# Libs.private. Sets PIXPEN_RUNTIME_LIBRARIES in the caller's scope.
function(pixpen_static_runtime_libraries target)
  set(runtime ${CMAKE_CXX_IMPLICIT_LINK_LIBRARIES})
  if(runtime AND CMAKE_C_IMPLICIT_LINK_LIBRARIES)
    list(REMOVE_ITEM runtime ${CMAKE_C_IMPLICIT_LINK_LIBRARIES})
  endif()
  if(PIXPEN_MATH_LIBRARY)
    list(APPEND runtime m)
  endif()
  list(REMOVE_DUPLICATES runtime)
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "STATIC_LIBRARY" AND runtime)
    target_link_libraries(${target} INTERFACE ${runtime})
  endif()
  set(PIXPEN_RUNTIME_LIBRARIES "${runtime}" PARENT_SCOPE)
endfunction()

# The exported names are plain words (create_image, do_line, ...) that an
# application may well define for itself. Calls from one part of the shared
# library to another must reach the library's own function, not such a
# namesake: -Bsymbolic-functions binds them at link time. Data symbols keep
# ordinary binding, so an executable's copy of WHITE or last_error stays the
# one the library uses. A static library becomes part of the application,
# where one name means one function, as with any archive.
function(pixpen_bind_internal_calls target)
  get_target_property(type ${target} TYPE)
  if(NOT type STREQUAL "SHARED_LIBRARY")
    return()
  endif()
  include(CheckLinkerFlag)
  check_linker_flag(CXX "-Wl,-Bsymbolic-functions" PIXPEN_LINKER_HAS_BSYMBOLIC_FUNCTIONS)
  if(PIXPEN_LINKER_HAS_BSYMBOLIC_FUNCTIONS)
    target_link_options(${target} PRIVATE "-Wl,-Bsymbolic-functions")
  else()
    message(WARNING "The linker does not accept -Bsymbolic-functions: an application "
                    "defining a function named like one of pixpen's would take over "
                    "the library's own calls to it")
  endif()
endfunction()
