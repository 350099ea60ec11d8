# The store stress test forks hundreds of processes; under the sanitizers on a
# busy machine it needs more than the usual time limit.
if(TEST security/test_storestress)
    set_tests_properties(security/test_storestress PROPERTIES TIMEOUT 300)
endif()
