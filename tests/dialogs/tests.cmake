# SPDX-FileCopyrightText: The Rightsmith authors
# SPDX-License-Identifier: BSD-3-Clause

# The lost-server test runs a throw-away PostgreSQL 15 server of its own and
# reports as skipped when the server binaries are not installed.
if(TEST dialogs/tst_lostserver)
    set_tests_properties(dialogs/tst_lostserver PROPERTIES
        SKIP_REGULAR_EXPRESSION "SKIP: PostgreSQL 15 server binaries not found")
endif()
# The translation test runs with a German environment. The German cases need
# the .qm files, built only when Qt's linguist tools are installed.
if(TEST dialogs/tst_translations)
    if(TARGET RightsmithCore_lrelease)
        target_compile_definitions(dialogs_tst_translations PRIVATE
            RIGHTSMITH_GERMAN_QM="${PROJECT_BINARY_DIR}/translations/rightsmith_de.qm")
    endif()
    set_tests_properties(dialogs/tst_translations PROPERTIES ENVIRONMENT_MODIFICATION
        "LC_ALL=unset:;LC_MESSAGES=unset:;LANGUAGE=unset:;LANG=set:de_DE.UTF-8")
endif()
