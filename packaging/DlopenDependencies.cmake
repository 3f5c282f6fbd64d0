# Run by CPack before packaging: adds to the package's dependencies the libraries that the
# binaries open at run time by soname (JUCE loads X11, its extensions and JACK with dlopen, so
# dpkg-shlibdeps cannot see them), each as the installed Debian package that provides it.

include("${CPACK_TESSALINE_BINARIES_FILE}")

set(sonames "")
foreach(binary IN LISTS TESSALINE_PACKAGE_BINARIES)
    file(STRINGS "${binary}" found REGEX "^lib[A-Za-z0-9_+.-]+\\.so\\.[0-9]+$")
    execute_process(COMMAND objdump -p "${binary}" OUTPUT_VARIABLE dynamic)
    string(REGEX MATCHALL "NEEDED[ \t]+[^ \t\n]+" neededLines "${dynamic}")
    set(needed "")
    foreach(line IN LISTS neededLines)
        string(REGEX REPLACE "^NEEDED[ \t]+" "" line "${line}")
        list(APPEND needed "${line}")
    endforeach()
    foreach(soname IN LISTS found)
        # Linked libraries are dpkg-shlibdeps' part.
        list(FIND needed "${soname}" index)
        if(index EQUAL -1)
            list(APPEND sonames "${soname}")
        endif()
    endforeach()
endforeach()
list(REMOVE_DUPLICATES sonames)
list(SORT sonames)

set(dependencies "")
foreach(soname IN LISTS sonames)
    execute_process(COMMAND dpkg-query -S "*/${soname}"
                    OUTPUT_VARIABLE owners ERROR_QUIET RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "No installed package provides ${soname}, which Tessaline opens at run time")
    endif()
    string(REGEX MATCH "^[^:,]+" package "${owners}")
    list(APPEND dependencies "${package}")
endforeach()
list(REMOVE_DUPLICATES dependencies)
list(JOIN dependencies ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
message(STATUS "Libraries opened at run time: ${sonames} -> ${CPACK_DEBIAN_PACKAGE_DEPENDS}")
