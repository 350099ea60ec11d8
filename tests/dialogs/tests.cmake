# SPDX-FileCopyrightText: The Rightsmith authors
# SPDX-License-Identifier: BSD-3-Clause

# The lost-server test runs a throw-away PostgreSQL 15 server of its own and
# reports as skipped when the server binaries are not installed.
if(TEST dialogs/tst_lostserver)
    set_tests_properties(dialogs/tst_lostserver PROPERTIES
        SKIP_REGULAR_EXPRESSION "SKIP: PostgreSQL 15 server binaries not found")
endif()
