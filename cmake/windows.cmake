# What a Windows cross-build takes from the Linux machine it is built on.
#
# CLI11 and nlohmann-json are header-only Debian packages under /usr/include;
# that folder must never be on a MinGW include path (glibc's headers would
# shadow MinGW's), so a folder of the build gets links to just those two and
# stands in for the packages under their own target names.
set(TRAPLINE_THIRD_PARTY_INCLUDE ${PROJECT_BINARY_DIR}/third-party/include)
file(MAKE_DIRECTORY ${TRAPLINE_THIRD_PARTY_INCLUDE})
foreach(package_folder CLI nlohmann)
    if(NOT EXISTS /usr/include/${package_folder})
        message(FATAL_ERROR "/usr/include/${package_folder} is missing: run tools/install-deps.sh")
    endif()
    file(CREATE_LINK /usr/include/${package_folder} ${TRAPLINE_THIRD_PARTY_INCLUDE}/${package_folder}
         SYMBOLIC)
endforeach()
add_library(trapline_cli11 INTERFACE)
target_include_directories(trapline_cli11 SYSTEM INTERFACE ${TRAPLINE_THIRD_PARTY_INCLUDE})
add_library(CLI11::CLI11 ALIAS trapline_cli11)
add_library(trapline_nlohmann_json INTERFACE)
target_include_directories(trapline_nlohmann_json SYSTEM INTERFACE ${TRAPLINE_THIRD_PARTY_INCLUDE})
add_library(nlohmann_json::nlohmann_json ALIAS trapline_nlohmann_json)

# GoogleTest from its Debian sources, built for this target. It runs its own
# threads through the Win32 API, not through pthreads.
if(TRAPLINE_TESTS)
    set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    foreach(gtest_library gtest gtest_main gmock gmock_main)
        # Its headers are someone else's: our warnings do not apply to them.
        set_target_properties(${gtest_library} PROPERTIES
            INTERFACE_SYSTEM_INCLUDE_DIRECTORIES
                $<TARGET_PROPERTY:${gtest_library},INTERFACE_INCLUDE_DIRECTORIES>)
        if(NOT TARGET GTest::${gtest_library})
            add_library(GTest::${gtest_library} ALIAS ${gtest_library})
        endif()
    endforeach()
endif()

# Programs that need no DLL beside them: the C++ and GCC run-times and
# winpthreads go into the .exe.
add_link_options(-static -static-libgcc -static-libstdc++)
