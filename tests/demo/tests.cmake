# SPDX-FileCopyrightText: The Rightsmith authors
# SPDX-License-Identifier: BSD-3-Clause

# The real rightsmith-demo binary on a virtual X server, driven with xdotool.
# Skipped when xvfb-run or xdotool is missing.
if(TARGET rightsmith-demo)
    set(_users_tool "")
    if(TARGET rightsmith-users)
        set(_users_tool $<TARGET_FILE:rightsmith-users>)
    endif()
    add_test(NAME demo/smoke
             COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/smoke.sh $<TARGET_FILE:rightsmith-demo> ${_users_tool})
    set_tests_properties(demo/smoke PROPERTIES
        TIMEOUT 180
        SKIP_RETURN_CODE 77
        ENVIRONMENT "ASAN_OPTIONS=detect_leaks=0:abort_on_error=0;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
endif()

# --help and --version print and end: no display, no store.
if(TARGET rightsmith-demo)
    add_test(NAME demo/help
             COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/help.sh $<TARGET_FILE:rightsmith-demo> ${PROJECT_VERSION})
    set_tests_properties(demo/help PROPERTIES TIMEOUT 200)
endif()

# The demo loads the translation for the user's language; these tests look for
# its English texts, so they run in English whatever the environment says.
foreach(_test demo/smoke demo/help)
    if(TEST ${_test})
        set_tests_properties(${_test} PROPERTIES ENVIRONMENT_MODIFICATION
            "LANGUAGE=unset:;LC_ALL=unset:;LC_MESSAGES=unset:;LANG=set:C.UTF-8")
    endif()
endforeach()
