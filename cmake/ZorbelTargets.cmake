# Common flags and the helpers every target in the tree is made with.

add_compile_options(-Wall -Wextra -Wshadow -Wnon-virtual-dtor -Wold-style-cast)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    # GCC's coroutine support needs the flag spelled out; clang turns it on with C++20.
    add_compile_options(-fcoroutines)
endif()
if(ZORBEL_WERROR)
    add_compile_options(-Werror)
endif()
if(ZORBEL_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                        -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
    if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        # clang 14 cannot emit the function-type check for coroutine frames ("Cannot represent
        # a difference across sections"); every other undefined-behaviour check stays on.
        add_compile_options(-fno-sanitize=function)
    endif()
endif()
if(ZORBEL_FUZZ)
    # Coverage feedback for the fuzzers reaches into the libraries they drive.
    add_compile_options(-fsanitize=fuzzer-no-link)
endif()
add_compile_definitions(QT_NO_KEYWORDS QT_NO_CAST_FROM_ASCII QT_NO_URL_CAST_FROM_STRING
                        QT_NO_NARROWING_CONVERSIONS_IN_CONNECT)

# The Qt and standard headers that nearly every translation unit includes.
set(ZORBEL_PCH_HEADERS
    <QByteArray> <QDateTime> <QHash> <QJsonArray> <QJsonObject> <QJsonValue> <QList>
    <QObject> <QString> <QVariant> <functional> <memory> <optional> <utility> <vector>)

# zorbel_library(NAME SOURCES ... DEPS ...): one static library of one subsystem.
function(zorbel_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
    target_precompile_headers(${name} PRIVATE ${ZORBEL_PCH_HEADERS})
endfunction()

# zorbel_module(NAME OUTPUT SOURCES ... DEPS ...): a module OUTPUT.so that the programs load on
# first use (support/Module.h), in the library folder's zorbel/, in the build folder as
# installed. It keeps its own copies of the small libraries it needs and exports only its entry.
function(zorbel_module name output)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
    set(folder ${CMAKE_INSTALL_LIBDIR}/zorbel)
    add_library(${name} MODULE ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_DEPS})
    set_target_properties(${name} PROPERTIES
        OUTPUT_NAME ${output} PREFIX "" CXX_VISIBILITY_PRESET hidden
        LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/${folder})
    target_link_options(${name} PRIVATE LINKER:--exclude-libs,ALL)
    if(NOT ZORBEL_SANITIZE AND NOT ZORBEL_FUZZ)
        # (With the sanitizers, their run-time is in the program that loads the module.)
        target_link_options(${name} PRIVATE LINKER:--no-undefined)
    endif()
    install(TARGETS ${name} LIBRARY DESTINATION ${folder})
endfunction()

# zorbel_test(NAME SOURCES ... DEPS ...): one GoogleTest program, each case its own ctest test.
function(zorbel_test name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE zorbel_testsupport ${ARG_DEPS})
    target_precompile_headers(${name} REUSE_FROM zorbel_testsupport)
    gtest_discover_tests(${name} TEST_PREFIX "${name}." DISCOVERY_TIMEOUT 60)
endfunction()
