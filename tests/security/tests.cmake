# SPDX-FileCopyrightText: The Rightsmith authors
# SPDX-License-Identifier: BSD-3-Clause

# The tables kept beside the registry's values are read with SQLite directly.
foreach(_target security_hardening_test_logonthrottle security_hardening_test_audittrail
                security_hardening_test_hardening)
    if(TARGET ${_target})
        target_link_libraries(${_target} PRIVATE SQLite::SQLite3)
    endif()
endforeach()
# The password hash test forges records with hashes made by libsodium directly.
if(TARGET security_model_test_passwordhash)
    target_link_libraries(security_model_test_passwordhash PRIVATE PkgConfig::SODIUM)
endif()
