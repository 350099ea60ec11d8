# A real PostgreSQL 15 server started and stopped by tests/support/pgserver.sh.
# Skipped when the server binaries are not installed.
add_test(NAME store/pgserver COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/pgserver.sh)
set_tests_properties(store/pgserver PROPERTIES TIMEOUT 120 SKIP_RETURN_CODE 77)
