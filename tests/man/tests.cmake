# SPDX-FileCopyrightText: The Rightsmith authors
# SPDX-License-Identifier: BSD-3-Clause

# The tools' man pages cover what their --help lists, and render cleanly.
foreach(tool rightsmith-users rightsmith-template)
    if(TARGET ${tool})
        add_test(NAME man/${tool}
                 COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/manpage.sh $<TARGET_FILE:${tool}>
                         ${PROJECT_SOURCE_DIR}/docs/man/${tool}.1)
        rightsmith_add_test(man/${tool})
        set_tests_properties(man/${tool} PROPERTIES SKIP_RETURN_CODE 77)
    endif()
endforeach()
