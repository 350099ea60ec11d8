# SPDX-FileCopyrightText: The Rightsmith authors
# SPDX-License-Identifier: BSD-3-Clause

# The Debian packages installed into this system and used as an application
# would use them (tests/packaging/debian.sh). Only in a normal build: the
# packages of a sanitizer build are not what anyone ships. It changes /usr,
# so nothing else runs meanwhile; skipped unless root with dpkg, and when
# Rightsmith packages are installed already.
if(RIGHTSMITH_SANITIZE OR NOT TARGET rightsmith-users OR NOT TARGET rightsmith-demo)
    return()
endif()
add_test(NAME packaging/debian
         COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/debian.sh ${PROJECT_BINARY_DIR} ${PROJECT_SOURCE_DIR}
                 ${CMAKE_CURRENT_BINARY_DIR}/packaging-debian)
set_tests_properties(packaging/debian PROPERTIES
    TIMEOUT 600 RUN_SERIAL ON SKIP_RETURN_CODE 77
    ENVIRONMENT "ASAN_OPTIONS=detect_leaks=0")
