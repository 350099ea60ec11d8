# SPDX-FileCopyrightText: The Rightsmith authors
# SPDX-License-Identifier: BSD-3-Clause

# The version policy as a packager sees it: the SONAME the shared libraries
# carry, and which versions find_package() accepts.
if(PROJECT_VERSION_MAJOR EQUAL 0)
    set(_soname_version ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR})
    # An older minor release is another ABI: refused, as a newer one is.
    math(EXPR _next_minor "${PROJECT_VERSION_MINOR} + 1")
    set(_refused "0.${_next_minor}")
    if(PROJECT_VERSION_MINOR GREATER 0)
        math(EXPR _previous_minor "${PROJECT_VERSION_MINOR} - 1")
        list(APPEND _refused 0.${_previous_minor})
    endif()
else()
    set(_soname_version ${PROJECT_VERSION_MAJOR})
    math(EXPR _previous_major "${PROJECT_VERSION_MAJOR} - 1")
    math(EXPR _next_major "${PROJECT_VERSION_MAJOR} + 1")
    set(_refused "${_previous_major}.0;${_next_major}.0")
endif()
foreach(library RightsmithCore RightsmithWidgets)
    add_test(NAME version/soname-${library}
             COMMAND sh -c "readelf -d \"$1\" | grep SONAME" sh $<TARGET_FILE:${library}>)
    set_tests_properties(version/soname-${library} PROPERTIES
        PASS_REGULAR_EXPRESSION "\\[lib[a-z]+\\.so\\.${_soname_version}\\]")
endforeach()
add_test(NAME version/package
         COMMAND ${CMAKE_COMMAND}
                 -DVERSION_FILE=${PROJECT_BINARY_DIR}/RightsmithConfigVersion.cmake
                 "-DACCEPTED=${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR};${PROJECT_VERSION}"
                 "-DREFUSED=${_refused}"
                 -P ${CMAKE_CURRENT_LIST_DIR}/packageversion.cmake)
