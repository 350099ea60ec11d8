# SPDX-FileCopyrightText: The Rightsmith authors
# SPDX-License-Identifier: BSD-3-Clause

# Debian packages, split as Debian splits a library: `cpack -G DEB` in the
# build tree (after a build) makes one package per install component.
#
# Install components (every install() rule names one of these):
#   Runtime         librightsmithcore<SOVERSION>: the core library, and the
#                   translations (.qm) of both libraries
#   WidgetsRuntime  librightsmithwidgets<SOVERSION>: the widgets library
#   Development     librightsmith-dev: headers (version.h among them), the
#                   .so links, the CMake package and the pkg-config files
#   Tools           rightsmith-tools: rightsmith-users, rightsmith-template
#                   and their man pages
#   Demo            rightsmith-demo: the demonstration program
# Nothing else is installed: tests, benchmarks and build-time generators
# (rightsmith-blobs) have no install rule.
#
# Runtime dependencies on other packages come from dpkg-shlibdeps (Debian:
# dpkg-dev); those on this project's own packages are stated here, of the
# exact version. A distribution build configures with
# -DCMAKE_INSTALL_PREFIX=/usr, so that the libraries go to the multiarch folder.

set(CPACK_PACKAGE_NAME rightsmith)
set(CPACK_PACKAGE_VENDOR "The Rightsmith authors")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL Runtime WidgetsRuntime Development Tools Demo)

set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Rightsmith authors <rightsmith@localhost>")
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# dpkg-shlibdeps finds the project's own libraries in the build tree; the
# dependencies on their packages are the exact ones below.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR})
# As Debian ships them: stripped (the build's debug information stays in the build tree).
set(CPACK_STRIP_FILES ON)
# A shlibs file in each library package lets packages built against it depend on it.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)

# A runtime package is named after its library's SONAME version, so that an
# ABI break gives a new package that can be installed beside the old one.
get_target_property(_rightsmith_soversion RightsmithCore SOVERSION)
set(_rightsmith_core_package librightsmithcore${_rightsmith_soversion})
set(_rightsmith_widgets_package librightsmithwidgets${_rightsmith_soversion})
set(_rightsmith_exact "(= ${CPACK_DEBIAN_PACKAGE_VERSION})")

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME ${_rightsmith_core_package})
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION
    "Rightsmith core library (users, rights, user stores; no widgets)")

set(CPACK_DEBIAN_WIDGETSRUNTIME_PACKAGE_NAME ${_rightsmith_widgets_package})
set(CPACK_COMPONENT_WIDGETSRUNTIME_DESCRIPTION
    "Rightsmith widgets library (logon and user management dialogs)")
set(CPACK_DEBIAN_WIDGETSRUNTIME_PACKAGE_DEPENDS "${_rightsmith_core_package} ${_rightsmith_exact}")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME librightsmith-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION
    "Rightsmith development files (headers, CMake package, pkg-config files)")
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS
    "${_rightsmith_core_package} ${_rightsmith_exact}, ${_rightsmith_widgets_package} ${_rightsmith_exact}, qt6-base-dev")

set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME rightsmith-tools)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION admin)
set(CPACK_COMPONENT_TOOLS_DESCRIPTION
    "Rightsmith command-line tools (rightsmith-users, rightsmith-template)")
set(CPACK_DEBIAN_TOOLS_PACKAGE_DEPENDS "${_rightsmith_core_package} ${_rightsmith_exact}")

set(CPACK_DEBIAN_DEMO_PACKAGE_NAME rightsmith-demo)
set(CPACK_DEBIAN_DEMO_PACKAGE_SECTION x11)
set(CPACK_COMPONENT_DEMO_DESCRIPTION "Rightsmith Demo, a program protected by Rightsmith")
set(CPACK_DEBIAN_DEMO_PACKAGE_DEPENDS
    "${_rightsmith_core_package} ${_rightsmith_exact}, ${_rightsmith_widgets_package} ${_rightsmith_exact}")

# The packages are made from the build tree as it is; nothing is rebuilt.
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
include(CPack)
