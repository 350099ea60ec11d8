# SPDX-FileCopyrightText: The Rightsmith authors
# SPDX-License-Identifier: BSD-3-Clause

# examples/minimal built the way an application would build it: against the
# library installed into a temporary prefix and found with find_package.
set(_example_flags "")
if(RIGHTSMITH_SANITIZE)
    # The installed library is instrumented; the example links the same runtimes.
    set(_example_flags "-fsanitize=address,undefined")
endif()
add_test(NAME examples/minimal
         COMMAND ${CMAKE_COMMAND}
                 -DRIGHTSMITH_BUILD_DIR=${PROJECT_BINARY_DIR}
                 -DEXAMPLE_SOURCE_DIR=${PROJECT_SOURCE_DIR}/examples/minimal
                 -DWORK_DIR=${CMAKE_CURRENT_BINARY_DIR}/examples-minimal
                 -DGENERATOR=${CMAKE_GENERATOR}
                 -DCXX_COMPILER=${CMAKE_CXX_COMPILER}
                 -DCXX_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER}
                 -DEXTRA_FLAGS=${_example_flags}
                 -P ${CMAKE_CURRENT_LIST_DIR}/build_example.cmake)
set_tests_properties(examples/minimal PROPERTIES TIMEOUT 900)
