# SPDX-FileCopyrightText: The Rightsmith authors
# SPDX-License-Identifier: BSD-3-Clause

# A real PostgreSQL 15 server started and stopped by tests/support/pgserver.sh.
# Skipped when the server binaries are not installed.
# A build without PostgreSQL has no shared store to test.
if(RIGHTSMITH_POSTGRESQL)
    add_test(NAME security/store/pgserver COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/pgserver.sh)
    set_tests_properties(security/store/pgserver PROPERTIES TIMEOUT 120 SKIP_RETURN_CODE 77)
endif()

# The shared store's tests use libpq directly for the server's administration,
# and report as skipped when they skipped every test for want of a server.
foreach(name test_sharedstore test_shareduserstore test_sharedprocesses test_pinnedaddress)
    if(TARGET security_store_${name})
        target_link_libraries(security_store_${name} PRIVATE PkgConfig::PQ)
        set_tests_properties(security/store/${name} PROPERTIES
            SKIP_REGULAR_EXPRESSION "SKIP: PostgreSQL 15 server binaries not found")
    endif()
endforeach()

# rightsmith-users is the other workstation of the processes' test.
if(TARGET security_store_test_sharedprocesses)
    if(TARGET rightsmith-users)
        target_compile_definitions(security_store_test_sharedprocesses PRIVATE
            RIGHTSMITH_USERS_TOOL="$<TARGET_FILE:rightsmith-users>")
        add_dependencies(security_store_test_sharedprocesses rightsmith-users)
    else()
        set_target_properties(security_store_test_sharedprocesses PROPERTIES EXCLUDE_FROM_ALL ON)
        set_tests_properties(security/store/test_sharedprocesses PROPERTIES DISABLED ON)
    endif()
endif()

# rightsmith-users init-store against a server of its own.
if(TARGET rightsmith-users AND RIGHTSMITH_POSTGRESQL)
    add_test(NAME security/store/init-store
             COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/initstore.sh $<TARGET_FILE:rightsmith-users>)
    rightsmith_add_test(security/store/init-store)
    set_tests_properties(security/store/init-store PROPERTIES SKIP_RETURN_CODE 77)
endif()

# rightsmith-users copy-store and --store against a server of its own, on a
# store that usertool_makestore (tests/usertool, made with rightsmith-users) writes.
if(TARGET rightsmith-users AND RIGHTSMITH_POSTGRESQL)
    add_test(NAME security/store/copy-store
             COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/copystore.sh $<TARGET_FILE:rightsmith-users>
                     $<TARGET_FILE:usertool_makestore>)
    rightsmith_add_test(security/store/copy-store)
    set_tests_properties(security/store/copy-store PROPERTIES SKIP_RETURN_CODE 77)
endif()

# The store stress test forks hundreds of processes; under the sanitizers on a
# busy machine it needs more than the usual time limit.
if(TEST security/store/test_storestress)
    set_tests_properties(security/store/test_storestress PROPERTIES TIMEOUT 300)
endif()
if(TARGET security_store_test_digestingwriter)
    target_link_libraries(security_store_test_digestingwriter PRIVATE PkgConfig::SODIUM)
endif()
# The store address test reads the addresses it is given with libpq, as the store does.
if(TARGET security_store_test_storeaddress)
    target_link_libraries(security_store_test_storeaddress PRIVATE PkgConfig::PQ)
endif()
# rightsmith-users as a second program: the store's boundaries are tried with
# it, and the commands the store's messages name are run as written.
foreach(name test_storeboundaries test_userstore test_sharedstore)
    if(TARGET security_store_${name} AND TARGET rightsmith-users)
        target_compile_definitions(security_store_${name}
                                   PRIVATE RIGHTSMITH_USERS_TOOL="$<TARGET_FILE:rightsmith-users>")
        add_dependencies(security_store_${name} rightsmith-users)
    endif()
endforeach()
