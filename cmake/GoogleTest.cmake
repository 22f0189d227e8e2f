# GoogleTest from the system when it is there; otherwise from the sources that
# Debian's googletest package ships, which also build with a cross compiler.
if(NOT CMAKE_CROSSCOMPILING)
    find_package(GTest CONFIG QUIET)
endif()
if(NOT TARGET GTest::gtest_main)
    set(DOZOZEDA_GTEST_SOURCE "/usr/src/googletest" CACHE PATH "GoogleTest sources")
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
    add_subdirectory(${DOZOZEDA_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    # GoogleTest 1.11 and later define these names themselves.
    if(NOT TARGET GTest::gtest_main)
        add_library(GTest::gtest ALIAS gtest)
        add_library(GTest::gtest_main ALIAS gtest_main)
    endif()
endif()
include(GoogleTest)
