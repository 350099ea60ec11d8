# SPDX-FileCopyrightText: The Rightsmith authors
# SPDX-License-Identifier: BSD-3-Clause

# Installs the built library into a fresh prefix, then configures and builds
# examples/minimal against it. Run with cmake -P; every step must succeed.
foreach(var RIGHTSMITH_BUILD_DIR EXAMPLE_SOURCE_DIR WORK_DIR)
    if(NOT ${var})
        message(FATAL_ERROR "${var} is not set")
    endif()
endforeach()

file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)
set(build ${WORK_DIR}/build)

function(run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
        string(REPLACE ";" " " command "${ARGN}")
        message(FATAL_ERROR "failed (${result}): ${command}")
    endif()
endfunction()

run(${CMAKE_COMMAND} --install ${RIGHTSMITH_BUILD_DIR} --prefix ${prefix})
# An installed program starts from its prefix, with no help from the environment.
if(EXISTS ${prefix}/bin/rightsmith-users)
    run(${CMAKE_COMMAND} -E env --unset=LD_LIBRARY_PATH ASAN_OPTIONS=detect_leaks=0
        ${prefix}/bin/rightsmith-users --help)
endif()
# The core library needs no widgets: no QtWidgets among what it links.
file(GLOB core_library ${prefix}/*/librightsmithcore.so.*.*)
if(NOT core_library)
    message(FATAL_ERROR "the core library was not installed")
endif()
execute_process(COMMAND ldd ${core_library} OUTPUT_VARIABLE core_needs)
if(core_needs MATCHES "Qt6Widgets")
    message(FATAL_ERROR "the core library links QtWidgets:\n${core_needs}")
endif()
if(EXISTS ${prefix}/bin/rightsmith-blobs)
    message(FATAL_ERROR "the build-time generator rightsmith-blobs was installed")
endif()

file(GLOB_RECURSE config ${prefix}/*/RightsmithConfig.cmake)
if(NOT config OR NOT EXISTS ${prefix}/include/Rightsmith/security/tzksecurity.h)
    message(FATAL_ERROR "the installed package lacks its config file or headers")
endif()

set(configure ${CMAKE_COMMAND} -S ${EXAMPLE_SOURCE_DIR} -B ${build} -DCMAKE_PREFIX_PATH=${prefix}
              -DCMAKE_BUILD_TYPE=Release)
if(GENERATOR)
    list(APPEND configure -G ${GENERATOR})
endif()
if(CXX_COMPILER)
    list(APPEND configure -DCMAKE_CXX_COMPILER=${CXX_COMPILER})
endif()
if(CXX_LAUNCHER)
    list(APPEND configure -DCMAKE_CXX_COMPILER_LAUNCHER=${CXX_LAUNCHER})
endif()
if(EXTRA_FLAGS)
    list(APPEND configure -DCMAKE_CXX_FLAGS=${EXTRA_FLAGS} -DCMAKE_EXE_LINKER_FLAGS=${EXTRA_FLAGS})
endif()
run(${configure})
run(${CMAKE_COMMAND} --build ${build})

if(NOT EXISTS ${build}/minimal)
    message(FATAL_ERROR "the example was not built")
endif()

# Every installed header compiles in an application, none needs a private
# one, and the paths applications wrote before the security headers had
# subsystem folders, <security/NAME.h>, still work: one program includes them all.
file(GLOB flat_headers RELATIVE ${prefix}/include/Rightsmith ${prefix}/include/Rightsmith/security/*.h)
list(LENGTH flat_headers count)
if(count LESS 20)
    message(FATAL_ERROR "only ${count} headers are installed under security/: ${flat_headers}")
endif()
file(GLOB_RECURSE all_headers RELATIVE ${prefix}/include/Rightsmith ${prefix}/include/Rightsmith/*.h)
set(compat ${WORK_DIR}/compat)
set(includes "")
foreach(header ${all_headers})
    string(APPEND includes "#include <${header}>\n")
endforeach()
file(WRITE ${compat}/flat.cpp "${includes}int main() { return 0; }\n")
file(WRITE ${compat}/CMakeLists.txt "cmake_minimum_required(VERSION 3.25)
project(flat LANGUAGES CXX)
set(CMAKE_CXX_STANDARD 20)
find_package(Rightsmith REQUIRED)
add_executable(flat flat.cpp)
target_link_libraries(flat PRIVATE Rightsmith::Rightsmith)
")
set(compat_configure ${configure})
list(TRANSFORM compat_configure REPLACE "^${EXAMPLE_SOURCE_DIR}$" "${compat}")
list(TRANSFORM compat_configure REPLACE "^${build}$" "${compat}/build")
run(${compat_configure})
run(${CMAKE_COMMAND} --build ${compat}/build)
message(STATUS "examples/minimal built against ${prefix}")
