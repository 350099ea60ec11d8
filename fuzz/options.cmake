# SPDX-FileCopyrightText: The Rightsmith authors
# SPDX-License-Identifier: BSD-3-Clause

# Included by the top-level list before any target is made. RIGHTSMITH_FUZZ
# instruments the whole library for libFuzzer (coverage, ASan, UBSan) and
# builds only the library and the fuzz targets: the demo, the tools, the
# tests and the benchmarks are left out, whatever their own options say.
if(NOT RIGHTSMITH_FUZZ)
    return()
endif()

if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "RIGHTSMITH_FUZZ needs clang: configure a fresh build directory "
                        "with CC=clang CXX=clang++")
endif()

foreach(_option BUILD_TESTING RIGHTSMITH_BUILD_DEMO RIGHTSMITH_BUILD_TOOLS
                RIGHTSMITH_BUILD_BENCHMARKS)
    if(${_option})
        message(STATUS "RIGHTSMITH_FUZZ: ${_option} is ignored in this build")
    endif()
    set(${_option} OFF)
endforeach()

# Every sanitizer report is fatal, so that libFuzzer keeps the input.
add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
                    -fno-omit-frame-pointer)
add_link_options(-fsanitize=address,undefined)
