# Sanitizer and fuzzing builds, each in a build folder of its own (scripts/ci-*.sh):
#   -DTESSALINE_SANITIZERS="address;undefined"   the whole suite under ASan + UBSan
#   -DTESSALINE_SANITIZERS=thread                 the threading test under TSan
#   -DTESSALINE_FUZZ=ON                           libFuzzer targets in fuzz/ (clang only)
# The flags go on every target, JUCE's modules included, so reports point into any of it.

set(TESSALINE_SANITIZERS "" CACHE STRING "Sanitizers to build with: address, undefined, thread (a list)")
option(TESSALINE_FUZZ "Build the libFuzzer targets in fuzz/ (needs clang)" OFF)

if(TESSALINE_FUZZ AND NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "TESSALINE_FUZZ needs clang (configure with CC=clang CXX=clang++)")
endif()

if(TESSALINE_SANITIZERS)
    if("thread" IN_LIST TESSALINE_SANITIZERS AND "address" IN_LIST TESSALINE_SANITIZERS)
        message(FATAL_ERROR "ThreadSanitizer and AddressSanitizer cannot share a build")
    endif()

    list(JOIN TESSALINE_SANITIZERS "," sanitizerList)
    message(STATUS "Sanitizers: ${sanitizerList}")

    # Line tables only: readable reports at a fraction of full debug information's build time.
    add_compile_options(-fsanitize=${sanitizerList} -fno-omit-frame-pointer -gline-tables-only)
    add_link_options(-fsanitize=${sanitizerList})

    if("undefined" IN_LIST TESSALINE_SANITIZERS)
        # Any undefined behaviour fails the test that hit it instead of scrolling past.
        add_compile_options(-fno-sanitize-recover=undefined)
    endif()
endif()

if(TESSALINE_FUZZ)
    # Coverage for libFuzzer on all code; the fuzz targets themselves link the fuzzer's main.
    add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# Sanitized shared modules leave the runtime's symbols to the program that loads them.
if(TESSALINE_SANITIZERS OR TESSALINE_FUZZ)
    set(TESSALINE_MODULES_MAY_HAVE_UNDEFINED_SYMBOLS ON)
else()
    set(TESSALINE_MODULES_MAY_HAVE_UNDEFINED_SYMBOLS OFF)
endif()
