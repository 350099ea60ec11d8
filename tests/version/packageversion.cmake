# SPDX-FileCopyrightText: The Rightsmith authors
# SPDX-License-Identifier: BSD-3-Clause

# cmake -DVERSION_FILE=... -DACCEPTED=versions -DREFUSED=versions -P packageversion.cmake
# Asks the package version file, as find_package(Rightsmith VERSION) does,
# about each version, and fails when it accepts one of REFUSED or refuses one
# of ACCEPTED.
cmake_minimum_required(VERSION 3.25)
set(failures "")
foreach(wanted IN LISTS ACCEPTED REFUSED)
    set(PACKAGE_FIND_VERSION ${wanted})
    string(REPLACE "." ";" parts ${wanted})
    list(GET parts 0 PACKAGE_FIND_VERSION_MAJOR)
    list(GET parts 1 PACKAGE_FIND_VERSION_MINOR)
    set(PACKAGE_FIND_VERSION_RANGE FALSE)
    unset(PACKAGE_VERSION_COMPATIBLE)
    include(${VERSION_FILE})
    if(wanted IN_LIST ACCEPTED AND NOT PACKAGE_VERSION_COMPATIBLE)
        list(APPEND failures "${wanted} refused")
    elseif(wanted IN_LIST REFUSED AND PACKAGE_VERSION_COMPATIBLE)
        list(APPEND failures "${wanted} accepted")
    endif()
endforeach()
if(failures)
    message(FATAL_ERROR "package version ${PACKAGE_VERSION}: ${failures}")
endif()
message(STATUS "package version ${PACKAGE_VERSION}: ${ACCEPTED} accepted, ${REFUSED} refused")
