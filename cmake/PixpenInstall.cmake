# Install rules: the library, its C and C++ headers, a CMake package (find_package(pixpen)
# gives pixpen::pixpen) and a pkg-config file. Included by the top-level
# CMakeLists.txt after the pixpen target exists.
include(CMakePackageConfigHelpers)

set(PIXPEN_INSTALL_CMAKEDIR "${CMAKE_INSTALL_LIBDIR}/cmake/pixpen"
    CACHE STRING "Where the CMake package files go, relative to the prefix")
set(PIXPEN_INSTALL_PKGCONFIGDIR "${CMAKE_INSTALL_LIBDIR}/pkgconfig"
    CACHE STRING "Where pixpen.pc goes, relative to the prefix")
mark_as_advanced(PIXPEN_INSTALL_CMAKEDIR PIXPEN_INSTALL_PKGCONFIGDIR)

install(TARGETS pixpen EXPORT pixpenTargets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Runtime
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Runtime
          NAMELINK_COMPONENT Development
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Development)
install(FILES ${PROJECT_SOURCE_DIR}/include/pixpen.h ${PROJECT_SOURCE_DIR}/include/pixpen.hpp
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT Development)

install(EXPORT pixpenTargets
  NAMESPACE pixpen::
  DESTINATION ${PIXPEN_INSTALL_CMAKEDIR}
  COMPONENT Development)
configure_package_config_file(
  ${CMAKE_CURRENT_LIST_DIR}/pixpenConfig.cmake.in
  ${PROJECT_BINARY_DIR}/pixpenConfig.cmake
  INSTALL_DESTINATION ${PIXPEN_INSTALL_CMAKEDIR})
# Before 1.0 a minor release may change the interface; after, only a major one.
if(PROJECT_VERSION_MAJOR EQUAL 0)
  set(_pixpen_compatibility SameMinorVersion)
else()
  set(_pixpen_compatibility SameMajorVersion)
endif()
write_basic_package_version_file(
  ${PROJECT_BINARY_DIR}/pixpenConfigVersion.cmake
  VERSION ${PROJECT_VERSION}
  COMPATIBILITY ${_pixpen_compatibility})
install(FILES
    ${PROJECT_BINARY_DIR}/pixpenConfig.cmake
    ${PROJECT_BINARY_DIR}/pixpenConfigVersion.cmake
  DESTINATION ${PIXPEN_INSTALL_CMAKEDIR}
  COMPONENT Development)

# pixpen.pc finds its prefix from its own location (${pcfiledir}), so the
# installed tree may be moved or installed with `cmake --install --prefix`.
function(_pixpen_pc_dir out dir)
  if(IS_ABSOLUTE "${dir}")
    set(${out} "${dir}" PARENT_SCOPE)
  else()
    set(${out} "\${prefix}/${dir}" PARENT_SCOPE)
  endif()
endfunction()
if(IS_ABSOLUTE "${PIXPEN_INSTALL_PKGCONFIGDIR}")
  set(PIXPEN_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
else()
  set(PIXPEN_PC_PREFIX "\${pcfiledir}")
  string(REGEX REPLACE "/+$" "" _pixpen_up "${PIXPEN_INSTALL_PKGCONFIGDIR}")
  string(REGEX REPLACE "[^/]+" ".." _pixpen_up "${_pixpen_up}")
  string(APPEND PIXPEN_PC_PREFIX "/${_pixpen_up}")
endif()
_pixpen_pc_dir(PIXPEN_PC_LIBDIR "${CMAKE_INSTALL_LIBDIR}")
_pixpen_pc_dir(PIXPEN_PC_INCLUDEDIR "${CMAKE_INSTALL_INCLUDEDIR}")
set(PIXPEN_PC_LIBS_PRIVATE "")
foreach(_lib IN LISTS PIXPEN_PNG_LIBRARIES PIXPEN_RUNTIME_LIBRARIES)
  if(IS_ABSOLUTE "${_lib}")
    string(APPEND PIXPEN_PC_LIBS_PRIVATE " ${_lib}")
  else()
    string(APPEND PIXPEN_PC_LIBS_PRIVATE " -l${_lib}")
  endif()
endforeach()
string(STRIP "${PIXPEN_PC_LIBS_PRIVATE}" PIXPEN_PC_LIBS_PRIVATE)
configure_file(${CMAKE_CURRENT_LIST_DIR}/pixpen.pc.in ${PROJECT_BINARY_DIR}/pixpen.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/pixpen.pc
  DESTINATION ${PIXPEN_INSTALL_PKGCONFIGDIR}
  COMPONENT Development)
