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
