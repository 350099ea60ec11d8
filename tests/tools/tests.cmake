# SPDX-FileCopyrightText: The Rightsmith authors
# SPDX-License-Identifier: BSD-3-Clause

# rightsmith-template run on streams written by the library itself
# (tools_maketemplates), each test checking exit status and output.
if(NOT TARGET rightsmith-template)
    return()
endif()

add_executable(tools_maketemplates ${CMAKE_CURRENT_LIST_DIR}/maketemplates.cpp)
target_include_directories(tools_maketemplates PRIVATE ${PROJECT_SOURCE_DIR}/tests)
target_link_libraries(tools_maketemplates PRIVATE Rightsmith::Core)

set(_dir ${CMAKE_CURRENT_BINARY_DIR}/templatetool)
set(_tool $<TARGET_FILE:rightsmith-template>)

# Runs the shell command line COMMAND and passes when it exits with EXIT and
# prints what matches EXPECT (checked apart: a PASS_REGULAR_EXPRESSION alone
# would ignore the exit status).
function(_templatetool_test name exit command expect)
    add_test(NAME templatetool/${name}
             COMMAND sh -c "out=$(${command}); code=$?; printf '%s\\n' \"$out\"; if [ $code -ne ${exit} ]; then echo \"unexpected exit status $code\"; exit 1; fi")
    rightsmith_add_test(templatetool/${name})
    set_tests_properties(templatetool/${name} PROPERTIES FIXTURES_REQUIRED templatetool_files
                         FAIL_REGULAR_EXPRESSION "unexpected exit status")
    if(NOT expect STREQUAL "")
        set_tests_properties(templatetool/${name} PROPERTIES PASS_REGULAR_EXPRESSION "${expect}")
    endif()
endfunction()

add_test(NAME templatetool/clean COMMAND ${CMAKE_COMMAND} -E rm -rf ${_dir})
add_test(NAME templatetool/generate COMMAND tools_maketemplates ${_dir})
rightsmith_add_test(templatetool/generate)
set_tests_properties(templatetool/clean PROPERTIES FIXTURES_SETUP templatetool_files)
set_tests_properties(templatetool/generate PROPERTIES FIXTURES_SETUP templatetool_files
                     DEPENDS templatetool/clean)

_templatetool_test(dump 0 "${_tool} dump ${_dir}/demo.tpl"
    "^User  \\[id 0, not granted, image 0\\]\n  Child memo text  \\[id 33, not granted, no image\\]\n")
_templatetool_test(dump-deep 0 "${_tool} dump ${_dir}/demo.tpl"
    "\n      Checks  \\[id 0, not granted, image 2\\]\n        Check Rights  \\[id 16, not granted, image 23\\]\n")
_templatetool_test(dump-json 0 "${_tool} dump --json ${_dir}/demo.tpl"
    "^{\"nodes\":\\[\n  {\"level\":0,\"text\":\"User\",\"securityId\":0,\"caption\":\"\",\"granted\":false,\"nodeIndex\":0,\"imageIndex\":0,\"hasRecord\":true},\n  {\"level\":1,\"text\":\"Child memo text\",\"securityId\":33,\"caption\":\"Child memo text\",\"granted\":false,\"nodeIndex\":1,\"imageIndex\":-1,\"hasRecord\":true},\n")
_templatetool_test(dump-json-last 0 "${_tool} dump --json ${_dir}/demo.tpl"
    "{\"level\":2,\"text\":\"Button \\(id=30\\)\",\"securityId\":30,\"caption\":\"Button \\(id=30\\)\",\"granted\":false,\"nodeIndex\":29,\"imageIndex\":4,\"hasRecord\":true}\n\\]}\n$")
_templatetool_test(dump-json-escapes 0 "${_tool} dump --json ${_dir}/escapes.tpl"
    "\"text\":\"q\\\\\"b\\\\\\\\c\\\\u0001d\\\\u0081e[^\"]+\",\"securityId\":0,\"caption\":\"tab\\\\there\"")
_templatetool_test(resave 0
    "${_tool} resave ${_dir}/demo.tpl ${_dir}/resaved.tpl && cmp ${_dir}/demo.tpl ${_dir}/resaved.tpl && echo same"
    "^same\n$")
_templatetool_test(resave-tidies 0
    "! cmp -s ${_dir}/demo.tpl ${_dir}/untidy.tpl && ${_tool} resave ${_dir}/untidy.tpl ${_dir}/tidied.tpl && cmp ${_dir}/demo.tpl ${_dir}/tidied.tpl && echo same"
    "^same\n$")
_templatetool_test(version-mismatch 1 "${_tool} dump ${_dir}/version2.tpl 2>&1"
    "^rightsmith-template: Version mismatch. Cannot continue\n$")
_templatetool_test(invalid-level 1 "${_tool} dump --json ${_dir}/badlevel.tpl 2>&1"
    "^rightsmith-template: Invalid level \\(2\\) for item \"Deep\"\n$")
_templatetool_test(truncated 1 "${_tool} resave ${_dir}/truncated.tpl ${_dir}/never.tpl 2>&1; code=$?; test -e ${_dir}/never.tpl && echo written; exit $code"
    "^rightsmith-template: Stream read error\n$")
_templatetool_test(missing-file 1 "${_tool} dump ${_dir}/nothing.tpl 2>&1" "cannot open .*nothing.tpl")
_templatetool_test(scramble-round-trip 0
    "printf 'Pass word\\001\\377' | ${_tool} scramble | ${_tool} unscramble | od -An -c"
    "P +a +s +s +w +o +r +d +001 +377")
_templatetool_test(scramble-changes 0
    "printf 'password' | ${_tool} scramble > ${_dir}/scrambled && test $(wc -c < ${_dir}/scrambled) -eq 8 && ! printf 'password' | cmp -s - ${_dir}/scrambled && echo changed"
    "^changed\n$")
_templatetool_test(images 0
    "${_tool} images ${_dir}/images.stream ${_dir}/png && ls ${_dir}/png && head -c 4 ${_dir}/png/0.png | od -An -c"
    "^0.png\n1.png\n2.png\n +211 +P +N +G\n$")
_templatetool_test(usage 2 "${_tool} 2>&1" "^usage: rightsmith-template")
_templatetool_test(usage-extra 2 "${_tool} dump a b 2>&1" "^usage: rightsmith-template")
_templatetool_test(usage-unknown 2 "${_tool} frobnicate 2>&1" "^usage: rightsmith-template")
_templatetool_test(dump-controls 0 "${_tool} dump ${_dir}/escapes.tpl"
    "^q\"b\\\\c\\\\x01d\\\\x81e.+  \\[id 0, not granted, no image\\]\n$")
_templatetool_test(version 0 "${_tool} --version" "^rightsmith-template ${PROJECT_VERSION}\n$")
_templatetool_test(help 0 "${_tool} --help" "\n  -v, --version +prints the version\n")
