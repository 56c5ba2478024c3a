# A cross build cannot link the host's GoogleTest. Debian's libgtest-dev also
# ships the sources in /usr/src/googletest: build them for the target, as
# static libraries, and offer the same GTest::gtest and GTest::gtest_main
# targets that find_package(GTest) would. Sets GTest_FOUND on success.
set(PIXPEN_GTEST_SOURCE_DIR "/usr/src/googletest" CACHE PATH
    "GoogleTest sources, built for the target when cross compiling")
mark_as_advanced(PIXPEN_GTEST_SOURCE_DIR)

if(EXISTS "${PIXPEN_GTEST_SOURCE_DIR}/CMakeLists.txt" AND NOT TARGET GTest::gtest)
  set(_pixpen_saved_shared ${BUILD_SHARED_LIBS})
  set(BUILD_SHARED_LIBS OFF)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory("${PIXPEN_GTEST_SOURCE_DIR}" "${PROJECT_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL)
  set(BUILD_SHARED_LIBS ${_pixpen_saved_shared})
  unset(_pixpen_saved_shared)
endif()
if(TARGET GTest::gtest AND TARGET GTest::gtest_main)
  set(GTest_FOUND TRUE)
  message(STATUS "GoogleTest: built for ${CMAKE_SYSTEM_PROCESSOR} from ${PIXPEN_GTEST_SOURCE_DIR}")
endif()
