# The store stress test forks hundreds of processes; under the sanitizers on a
# busy machine it needs more than the usual time limit.
if(TEST security/test_storestress)
    set_tests_properties(security/test_storestress PROPERTIES TIMEOUT 300)
endif()

# The tables kept beside the registry's values are read with SQLite directly.
foreach(_target security_test_logonthrottle security_test_audittrail security_test_hardening)
    if(TARGET ${_target})
        target_link_libraries(${_target} PRIVATE SQLite::SQLite3)
    endif()
endforeach()
# The password hash test forges records with hashes made by libsodium directly.
if(TARGET security_test_passwordhash)
    target_link_libraries(security_test_passwordhash PRIVATE PkgConfig::SODIUM)
endif()
if(TARGET security_test_digestingwriter)
    target_link_libraries(security_test_digestingwriter PRIVATE PkgConfig::SODIUM)
endif()
# The store address test reads the addresses it is given with libpq, as the store does.
if(TARGET security_test_storeaddress)
    target_link_libraries(security_test_storeaddress PRIVATE PkgConfig::PQ)
endif()

# The store's boundaries are tried with rightsmith-users as a second program.
if(TARGET security_test_storeboundaries AND TARGET rightsmith-users)
    target_compile_definitions(security_test_storeboundaries
                               PRIVATE RIGHTSMITH_USERS_TOOL="$<TARGET_FILE:rightsmith-users>")
    add_dependencies(security_test_storeboundaries rightsmith-users)
endif()
