# Dependencies of the mingw cross-build, from Debian packages meant for the native build.

# nlohmann-json (nlohmann-json3-dev) is header-only, so its headers serve mingw as they are.
# find_package cannot see them (the toolchain searches the mingw sysroot only), and
# /usr/include itself must never reach a mingw compile: it holds glibc's headers. So the
# target's include directory is a build-tree folder holding only a link to the library's.
set(CALVENTA_JSON_HEADERS /usr/include/nlohmann CACHE PATH "nlohmann-json's header folder")
if(NOT EXISTS ${CALVENTA_JSON_HEADERS}/json.hpp)
    message(FATAL_ERROR "nlohmann-json headers not found in ${CALVENTA_JSON_HEADERS} (Debian package nlohmann-json3-dev)")
endif()
set(CALVENTA_JSON_INCLUDE ${CMAKE_BINARY_DIR}/third-party/include)
file(MAKE_DIRECTORY ${CALVENTA_JSON_INCLUDE})
file(CREATE_LINK ${CALVENTA_JSON_HEADERS} ${CALVENTA_JSON_INCLUDE}/nlohmann SYMBOLIC)
add_library(calventa_nlohmann_json INTERFACE)
target_include_directories(calventa_nlohmann_json SYSTEM INTERFACE ${CALVENTA_JSON_INCLUDE})
add_library(nlohmann_json::nlohmann_json ALIAS calventa_nlohmann_json)

# GoogleTest cross-built from its sources (Debian package googletest); the targets keep the
# names find_package(GTest) gives on Linux (GTest::gtest, GTest::gtest_main, GTest::gmock).
if(BUILD_TESTING)
    set(CALVENTA_GTEST_SOURCES /usr/src/googletest CACHE PATH "GoogleTest's sources")
    if(NOT EXISTS ${CALVENTA_GTEST_SOURCES}/CMakeLists.txt)
        message(FATAL_ERROR "GoogleTest sources not found in ${CALVENTA_GTEST_SOURCES} (Debian package googletest)")
    endif()
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
    add_subdirectory(${CALVENTA_GTEST_SOURCES} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
endif()
