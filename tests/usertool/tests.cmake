# SPDX-FileCopyrightText: The Rightsmith authors
# SPDX-License-Identifier: BSD-3-Clause

# rightsmith-users against stores written by the real security component
# (usertool_makestore), in a configuration directory of their own.

# The store tests make chosen registry writes fail with SQLite triggers.
if(TARGET security_store_test_userstore)
    target_link_libraries(security_store_test_userstore PRIVATE SQLite::SQLite3)
endif()

if(NOT TARGET rightsmith-users)
    return()
endif()

add_executable(usertool_makestore ${CMAKE_CURRENT_LIST_DIR}/makestore.cpp)
target_link_libraries(usertool_makestore PRIVATE Rightsmith Qt6::Widgets)

set(_home ${CMAKE_CURRENT_BINARY_DIR}/usertool-home)
set(_key "\\Software\\RightsmithTest\\Users")
set(_file ${_home}/data/UserTemplate)
set(_tool $<TARGET_FILE:rightsmith-users>)

# Runs the shell command line COMMAND and passes when it exits with EXIT and
# prints what matches EXPECT (output and exit status are checked apart: a
# PASS_REGULAR_EXPRESSION alone would ignore the exit status).
function(_usertool_test name exit command expect)
    add_test(NAME usertool/${name}
             COMMAND sh -c "out=$(${command}); code=$?; printf '%s\\n' \"$out\"; if [ $code -ne ${exit} ]; then echo \"unexpected exit status $code\"; exit 1; fi")
    rightsmith_add_test(usertool/${name})
    set_property(TEST usertool/${name} APPEND PROPERTY ENVIRONMENT
                 XDG_CONFIG_HOME=${_home}/config HOME=${_home})
    set_tests_properties(usertool/${name} PROPERTIES FIXTURES_REQUIRED usertool_store
                         FAIL_REGULAR_EXPRESSION "unexpected exit status")
    if(NOT expect STREQUAL "")
        set_tests_properties(usertool/${name} PROPERTIES PASS_REGULAR_EXPRESSION "${expect}")
    endif()
endfunction()

add_test(NAME usertool/clean COMMAND ${CMAKE_COMMAND} -E rm -rf ${_home})
add_test(NAME usertool/makestore COMMAND usertool_makestore "${_key}" ${_file})
rightsmith_add_test(usertool/makestore)
set_property(TEST usertool/makestore APPEND PROPERTY ENVIRONMENT
             XDG_CONFIG_HOME=${_home}/config HOME=${_home})
set_tests_properties(usertool/clean PROPERTIES FIXTURES_SETUP usertool_store)
set_tests_properties(usertool/makestore PROPERTIES FIXTURES_SETUP usertool_store DEPENDS usertool/clean)

_usertool_test(list 0 "${_tool} --key '${_key}' list" "^Supervisor\nAlice\n$")
_usertool_test(list-json 0 "${_tool} --key '${_key}' list --json"
               "^\\[\n +\"Supervisor\",\n +\"Alice\"\n\\]\n$")
_usertool_test(list-file 0 "${_tool} --key '${_key}\\File' --file '${_file}' list"
               "^Supervisor\nBob\nZoë\n$")
# A file-mode store is found by the file it records, as the program finds it.
_usertool_test(list-file-recorded 0 "${_tool} --key '${_key}\\File' list"
               "^Supervisor\nBob\nZoë\n$")
_usertool_test(rights 0 "${_tool} --key '${_key}' rights Alice"
               "^File\n  New \\(No\\)  \\[1\\]\n  Open \\(Yes\\)  \\[2\\]\nManage users \\(No\\)  \\[3\\]\n$")
_usertool_test(rights-json 0 "${_tool} --key '${_key}' rights Alice --json"
               "\"granted\": true,\n +\"securityId\": 2,\n +\"text\": \"Open \\(Yes\\)\"")
# Yes and No as the rights check decides; a column per right, named by its
# path of captions and identifier.
_usertool_test(matrix 0 "${_tool} --key '${_key}' matrix"
               "^            File/New \\[1\\]  File/Open \\[2\\]  Manage users \\[3\\]\nSupervisor  Yes           Yes            Yes\nAlice       No            Yes            No\n$")
_usertool_test(matrix-csv 0 "${_tool} --key '${_key}' matrix --csv"
               "^user,File/New \\[1\\],File/Open \\[2\\],Manage users \\[3\\]\nSupervisor,Yes,Yes,Yes\nAlice,No,Yes,No\n$")
_usertool_test(rights-unknown 2 "${_tool} --key '${_key}' rights alice 2>&1" "unknown user: alice")
_usertool_test(check-right 0 "printf 'alice pw\\n' | ${_tool} --key '${_key}' check Alice" "")
_usertool_test(check-empty 0 "printf '\\n' | ${_tool} --key '${_key}' check Supervisor" "")
_usertool_test(check-wrong 1 "printf 'alice pw \\n' | ${_tool} --key '${_key}' check Alice" "")
_usertool_test(check-unknown 2 "printf '' | ${_tool} --key '${_key}' check Nobody" "")
_usertool_test(recent 0 "${_tool} --key '${_key}' recent" "^Alice\nSupervisor\n$")
_usertool_test(missing-key 1 "${_tool} --key '\\Nowhere' list 2>&1" "no user store under the key")
_usertool_test(unknown-command 2 "${_tool} lsit 2>&1"
               "^rightsmith-users: unknown command: lsit; use list, rights, .* or copy-store\n$")
_usertool_test(version 0 "${_tool} --version" "^rightsmith-users ${PROJECT_VERSION}\n$")
_usertool_test(usage 2 "${_tool} --key '${_key}' rights 2>&1" "usage: rightsmith-users")
# The help is made from the table of commands: a short form shares its line
# with the help, a long one has lines of its own, and the writers are named.
_usertool_test(help 0 "${_tool} --help"
               "\n  rights USER   the rights of USER, marked \\(Yes\\) or \\(No\\), with their identifiers\n.*\n  copy-store --from URL --to local\n                copies the local user template \\(found by --key and --file\\) to\n.*\nOnly restore, passwd, unlock, grant, deny, add, remove, role, init-store and copy-store write.\n")

# The writing commands, each on a store of its own (under KEY-NAME), the
# result read back in the same command line.
function(_usertool_write_test name exit command expect)
    set(key "${_key}-${name}")
    set(users "${_tool} --key '${key}'")
    string(REPLACE "USERS" "${users}" command "${command}")
    _usertool_test(${name} ${exit}
                   "$<TARGET_FILE:usertool_makestore> '${key}' '${_home}/${name}/UserTemplate' >/dev/null && ${command}"
                   "${expect}")
endfunction()
# By identifier and by path of captions; the text changes with the flag.
_usertool_write_test(grant 0 "USERS grant Alice 1 'Manage users' && USERS rights Alice"
                     "^granted to Alice: 1, Manage users
File
  New  \\(Yes\\)  \\[1\\]
  Open \\(Yes\\)  \\[2\\]
Manage users  \\(Yes\\)  \\[3\\]
$")
_usertool_write_test(deny 0 "USERS deny Alice File/Open && USERS matrix --csv"
                     "
Alice,No,No,No
$")
_usertool_write_test(deny-supervisor 2 "USERS deny Supervisor 1 2>&1; code=$?; USERS matrix --csv; exit $code"
                     "the rights of Supervisor cannot be changed
.*
Supervisor,Yes,Yes,Yes
")
_usertool_write_test(grant-unknown 2 "USERS grant Alice File/Nope 2>&1" "Alice holds no right File/Nope")
# A new user gets every right, or another user's; the password is set from stdin.
_usertool_write_test(add 0 "printf 'pw\\n' | USERS add Carol && printf 'pw\\n' | USERS add Dave --like Alice && printf 'pw\\n' | USERS check Dave && USERS matrix --csv"
                     "
Alice,No,Yes,No
Carol,Yes,Yes,Yes
Dave,No,Yes,No
$")
_usertool_write_test(add-file 0 "printf 'pw\\n' | ${_tool} --key '${_key}-add-file\\File' add Carol && ${_tool} --key '${_key}-add-file\\File' list"
                     "^added Carol
Supervisor
Bob
Zoë
Carol
$")
# --min-length N turns the password rules on: the rule broken is named,
# nothing is stored, and a password that keeps them is set.
_usertool_write_test(password-rules 0 "for pw in '' abc alice; do printf '%s\\n' $pw | USERS passwd Alice --min-length 4 2>&1; echo exit $?; done; printf 'pw\\n' | USERS add Carol --min-length 4 2>&1; echo exit $?; printf 'alice pw\\n' | USERS check Alice && USERS list && printf 'alice-pw\\n' | USERS passwd Alice --min-length 4"
                     "^rightsmith-users: The password cannot be empty.
exit 1
rightsmith-users: The password is too short: it must have at least 4 characters.
exit 1
rightsmith-users: The password cannot be the user name.
exit 1
rightsmith-users: The password is too short: it must have at least 4 characters.
exit 1
Supervisor
Alice
the password of Alice is set \\(scrambled\\)
$")
_usertool_write_test(remove 0 "USERS remove Alice && USERS list" "^removed Alice
Supervisor
$")
_usertool_write_test(remove-supervisor 2 "USERS remove Supervisor 2>&1; code=$?; USERS list; exit $code"
                     "Supervisor cannot be removed
Supervisor
Alice
$")

_usertool_test(verify 0 "${_tool} --key '${_key}' verify" "ok: 2 users\n")
add_test(NAME usertool/restore
         COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/restore.sh ${_tool} $<TARGET_FILE:usertool_makestore>
                 ${CMAKE_CURRENT_BINARY_DIR}/usertool-restore)
rightsmith_add_test(usertool/restore)
add_test(NAME usertool/backups
         COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/backups.sh ${_tool} $<TARGET_FILE:usertool_makestore>
                 ${CMAKE_CURRENT_BINARY_DIR}/usertool-backups)
rightsmith_add_test(usertool/backups)
add_test(NAME usertool/hardened
         COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/hardened.sh ${_tool} $<TARGET_FILE:usertool_makestore>
                 ${CMAKE_CURRENT_BINARY_DIR}/usertool-hardened)
rightsmith_add_test(usertool/hardened)
add_test(NAME usertool/roles
         COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/roles.sh ${_tool} $<TARGET_FILE:usertool_makestore>
                 ${CMAKE_CURRENT_BINARY_DIR}/usertool-roles)
rightsmith_add_test(usertool/roles)
add_test(NAME usertool/passwordlength
         COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/passwordlength.sh ${_tool} $<TARGET_FILE:usertool_makestore>
                 ${CMAKE_CURRENT_BINARY_DIR}/usertool-passwordlength)
rightsmith_add_test(usertool/passwordlength)
if(RIGHTSMITH_POSTGRESQL)
    add_test(NAME usertool/shared
             COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/shared.sh ${_tool} $<TARGET_FILE:usertool_makestore>)
    rightsmith_add_test(usertool/shared)
    set_tests_properties(usertool/shared PROPERTIES SKIP_RETURN_CODE 77)
endif()
