# SPDX-FileCopyrightText: The Rightsmith authors
# SPDX-License-Identifier: BSD-3-Clause

# The library's version: the generated <rightsmith/version.h> (in the build
# tree and installed), the shared libraries' SONAME and the compatibility the
# package version file promises.
#
# Before 1.0 every minor release may break the ABI, so the SONAME carries the
# minor number too (librightsmithcore.so.0.1) and find_package() accepts only
# the same minor version; from 1.0 on the major number alone does both.
if(PROJECT_VERSION_MAJOR EQUAL 0)
    set(RIGHTSMITH_SOVERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR})
    set(RIGHTSMITH_VERSION_COMPATIBILITY SameMinorVersion)
else()
    set(RIGHTSMITH_SOVERSION ${PROJECT_VERSION_MAJOR})
    set(RIGHTSMITH_VERSION_COMPATIBILITY SameMajorVersion)
endif()

configure_file(${CMAKE_CURRENT_LIST_DIR}/version.h.in
               ${CMAKE_CURRENT_BINARY_DIR}/include/rightsmith/version.h @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/include/rightsmith/version.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/Rightsmith/rightsmith COMPONENT Development)
