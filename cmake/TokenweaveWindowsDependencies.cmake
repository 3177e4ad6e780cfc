# Dependencies of the Windows cross build. Debian packages pugixml and
# GoogleTest for the build machine only, so both are compiled here for the
# target from source (scripts/setup.sh --windows installs the sources);
# CLI11 and nlohmann-json are header-only and are used as installed.
#
# Defines the same targets that find_package gives a native build:
# pugixml::pugixml, CLI11::CLI11, nlohmann_json::nlohmann_json and, when the
# tests are built, GTest::gtest, GTest::gtest_main and GTest::gmock.

set(TOKENWEAVE_PUGIXML_SOURCE_DIR /usr/local/src/pugixml CACHE PATH
    "pugixml source tree (with src/pugixml.cpp) compiled for the target")
set(TOKENWEAVE_GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH
    "GoogleTest source tree compiled for the target")
set(TOKENWEAVE_HOST_INCLUDE_DIR /usr/include CACHE PATH
    "Where the build machine keeps the CLI11 and nlohmann-json headers")

set(tokenweave_setup_hint "run: bash scripts/setup.sh --windows")

if(NOT EXISTS ${TOKENWEAVE_PUGIXML_SOURCE_DIR}/src/pugixml.cpp)
    message(FATAL_ERROR "No pugixml source in ${TOKENWEAVE_PUGIXML_SOURCE_DIR}; "
        "${tokenweave_setup_hint}")
endif()
add_library(tokenweave_pugixml STATIC ${TOKENWEAVE_PUGIXML_SOURCE_DIR}/src/pugixml.cpp)
target_include_directories(tokenweave_pugixml SYSTEM PUBLIC
    $<BUILD_INTERFACE:${TOKENWEAVE_PUGIXML_SOURCE_DIR}/src>)
add_library(pugixml::pugixml ALIAS tokenweave_pugixml)

# The build machine's /usr/include cannot go on the cross compiler's include
# path (its C library headers would shadow MinGW's), so the two header-only
# libraries are reached through links in the build tree.
set(tokenweave_header_dir ${CMAKE_BINARY_DIR}/windows-deps/include)
foreach(header_tree CLI nlohmann)
    if(NOT IS_DIRECTORY ${TOKENWEAVE_HOST_INCLUDE_DIR}/${header_tree})
        message(FATAL_ERROR "No ${TOKENWEAVE_HOST_INCLUDE_DIR}/${header_tree}; "
            "${tokenweave_setup_hint}")
    endif()
    file(MAKE_DIRECTORY ${tokenweave_header_dir})
    file(CREATE_LINK ${TOKENWEAVE_HOST_INCLUDE_DIR}/${header_tree}
        ${tokenweave_header_dir}/${header_tree} SYMBOLIC)
endforeach()
add_library(tokenweave_header_only INTERFACE)
target_include_directories(tokenweave_header_only SYSTEM INTERFACE ${tokenweave_header_dir})
add_library(CLI11::CLI11 ALIAS tokenweave_header_only)
add_library(nlohmann_json::nlohmann_json ALIAS tokenweave_header_only)

if(TOKENWEAVE_BUILD_TESTS)
    if(NOT EXISTS ${TOKENWEAVE_GOOGLETEST_SOURCE_DIR}/CMakeLists.txt)
        message(FATAL_ERROR "No GoogleTest source in ${TOKENWEAVE_GOOGLETEST_SOURCE_DIR}; "
            "${tokenweave_setup_hint}")
    endif()
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(${TOKENWEAVE_GOOGLETEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/windows-deps/googletest
        EXCLUDE_FROM_ALL)  # which defines the GTest:: names itself
endif()

# The GCC runtime DLLs that every program and the library load: shared, so
# that an exception thrown in tokenweave.dll unwinds through the host's
# frames (two copies of a static unwinder do not know each other's frames).
# They are copied beside the programs and installed beside the DLL.
set(TOKENWEAVE_RUNTIME_DLLS)
foreach(dll libgcc_s_dw2-1.dll libstdc++-6.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
        OUTPUT_VARIABLE dll_path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${dll_path}" OR NOT EXISTS "${dll_path}")
        message(FATAL_ERROR "The compiler does not know where ${dll} is (got '${dll_path}')")
    endif()
    get_filename_component(dll_path ${dll_path} REALPATH)
    list(APPEND TOKENWEAVE_RUNTIME_DLLS ${dll_path})
endforeach()
file(COPY ${TOKENWEAVE_RUNTIME_DLLS} DESTINATION ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
install(FILES ${TOKENWEAVE_RUNTIME_DLLS} DESTINATION ${CMAKE_INSTALL_BINDIR})
