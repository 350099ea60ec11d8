# SPDX-FileCopyrightText: The Rightsmith authors
# SPDX-License-Identifier: BSD-3-Clause

# Every file of the source tree carries its licence, in the REUSE way.
add_test(NAME licence/spdx COMMAND sh ${PROJECT_SOURCE_DIR}/scripts/spdx.sh --check)
add_test(NAME licence/spdx-fix COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/fix.sh ${PROJECT_SOURCE_DIR})
