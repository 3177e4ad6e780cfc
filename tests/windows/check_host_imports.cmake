# Fails unless the host program imports the class from the library's DLL.
# Every MinGW executable gets an import library too; one named like the
# library's once made hosts import from tokenweave.exe, depending on build
# order, and crash in the constructor.
#   cmake -DOBJDUMP=... -DHOST=.../tokenweave_host_test.exe -DDLL_NAME=tokenweave.dll -P check_host_imports.cmake
cmake_policy(VERSION 3.20)

include(${CMAKE_CURRENT_LIST_DIR}/pe_listing.cmake)
read_pe_listing(${HOST} listing)
string(REGEX MATCHALL "DLL Name: [^\n]+" imported "${listing}")
if(NOT "DLL Name: ${DLL_NAME}" IN_LIST imported)
    message(FATAL_ERROR "${HOST} does not import ${DLL_NAME}; it imports: ${imported}")
endif()
