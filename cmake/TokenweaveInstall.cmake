# What `cmake --install` puts under the prefix: the shared library, its public
# header, the tokenweave command, the weights file, and the files through
# which hosts find the library (a CMake package and a pkg-config file). The
# static core and the test programs stay in the build tree.
#
# The library and the command look for the weights file at
# "<directory of the executable>/../dat/crlt.dat", so the command goes to a
# directory one level below the prefix and the weights file to <prefix>/dat.

include(CMakePackageConfigHelpers)

set(TOKENWEAVE_INSTALL_DATADIR dat)
set(TOKENWEAVE_INSTALL_CLI_DATADIR share/tokenweave)
set(TOKENWEAVE_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/tokenweave)
set(TOKENWEAVE_INSTALL_PKGCONFIGDIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

if(IS_ABSOLUTE "${CMAKE_INSTALL_BINDIR}" OR CMAKE_INSTALL_BINDIR MATCHES "/")
    message(WARNING "CMAKE_INSTALL_BINDIR is '${CMAKE_INSTALL_BINDIR}': the installed "
        "tokenweave command finds its weights file only when it lives one directory "
        "below the prefix, beside <prefix>/${TOKENWEAVE_INSTALL_DATADIR}.")
endif()

# A pugixml outside the system's library directories is found again at run
# time (and, through the library, when a host links).
set_target_properties(tokenweave PROPERTIES INSTALL_RPATH_USE_LINK_PATH ON)
install(TARGETS tokenweave
    EXPORT tokenweaveTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/tokenweave
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
    FILES_MATCHING PATTERN "*.h")
install(FILES ${PROJECT_SOURCE_DIR}/dat/crlt.dat DESTINATION ${TOKENWEAVE_INSTALL_DATADIR})
# The command's own copy, where shared data belongs; the command reads it
# from <exe dir>/../share/tokenweave before falling back to <prefix>/dat.
install(FILES ${PROJECT_SOURCE_DIR}/dat/crlt.dat DESTINATION ${TOKENWEAVE_INSTALL_CLI_DATADIR})
if(TARGET tokenweave_cli)
    set_target_properties(tokenweave_cli PROPERTIES INSTALL_RPATH_USE_LINK_PATH ON)
    install(TARGETS tokenweave_cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

# find_package(tokenweave): the imported target tokenweave::tokenweave.
install(EXPORT tokenweaveTargets
    NAMESPACE tokenweave::
    DESTINATION ${TOKENWEAVE_INSTALL_CMAKEDIR})
configure_package_config_file(
    ${PROJECT_SOURCE_DIR}/cmake/tokenweaveConfig.cmake.in
    ${PROJECT_BINARY_DIR}/tokenweaveConfig.cmake
    INSTALL_DESTINATION ${TOKENWEAVE_INSTALL_CMAKEDIR}
    PATH_VARS TOKENWEAVE_INSTALL_DATADIR)
# Before 1.0 a new minor version may change the interface.
write_basic_package_version_file(
    ${PROJECT_BINARY_DIR}/tokenweaveConfigVersion.cmake
    VERSION ${PROJECT_VERSION}
    COMPATIBILITY SameMinorVersion)
install(FILES
    ${PROJECT_BINARY_DIR}/tokenweaveConfig.cmake
    ${PROJECT_BINARY_DIR}/tokenweaveConfigVersion.cmake
    DESTINATION ${TOKENWEAVE_INSTALL_CMAKEDIR})

# pkg-config: paths are relative to the .pc file's own directory, so the
# file stays right whatever prefix `cmake --install --prefix` is given.
function(tokenweave_pkgconfig_path out dir)
    if(IS_ABSOLUTE "${dir}")
        set(${out} "${dir}" PARENT_SCOPE)
    else()
        set(${out} "\${prefix}/${dir}" PARENT_SCOPE)
    endif()
endfunction()
if(IS_ABSOLUTE "${TOKENWEAVE_INSTALL_PKGCONFIGDIR}")
    set(TOKENWEAVE_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
else()
    file(RELATIVE_PATH TOKENWEAVE_PC_UP "/prefix/${TOKENWEAVE_INSTALL_PKGCONFIGDIR}" "/prefix")
    string(REGEX REPLACE "/$" "" TOKENWEAVE_PC_UP "${TOKENWEAVE_PC_UP}")
    set(TOKENWEAVE_PC_PREFIX "\${pcfiledir}/${TOKENWEAVE_PC_UP}")
endif()
tokenweave_pkgconfig_path(TOKENWEAVE_PC_LIBDIR "${CMAKE_INSTALL_LIBDIR}")
tokenweave_pkgconfig_path(TOKENWEAVE_PC_INCLUDEDIR "${CMAKE_INSTALL_INCLUDEDIR}")
tokenweave_pkgconfig_path(TOKENWEAVE_PC_DATAFILE "${TOKENWEAVE_INSTALL_DATADIR}/crlt.dat")
# The library needs pugixml at run time only; a static link of it would need
# it on the command line too. Named as a package when pkg-config knows one.
find_package(PkgConfig QUIET)
if(PKG_CONFIG_FOUND)
    pkg_check_modules(TOKENWEAVE_PUGIXML_PC QUIET pugixml)
endif()
if(TOKENWEAVE_PUGIXML_PC_FOUND)
    set(TOKENWEAVE_PC_PRIVATE "Requires.private: pugixml")
else()
    set(TOKENWEAVE_PC_PRIVATE "Libs.private: -lpugixml")
endif()
configure_file(${PROJECT_SOURCE_DIR}/cmake/tokenweave.pc.in
    ${PROJECT_BINARY_DIR}/tokenweave.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/tokenweave.pc DESTINATION ${TOKENWEAVE_INSTALL_PKGCONFIGDIR})
