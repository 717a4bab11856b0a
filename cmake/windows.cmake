# Windows build: the product and, beside it, what the tests run under Wine.
enable_language(RC)

set(CHAINER_PRODUCT_NAME "Vantorel" CACHE STRING "ProductName of the version resource")
set(CHAINER_VERSION "1.0.0.0" CACHE STRING "File and product version, four numbers")
string(REPLACE "." "," CHAINER_VERSION_COMMAS ${CHAINER_VERSION})

# Size first; sections that nothing references are dropped at link time, and
# no run-time type information, which nothing in the product asks for.
set(PRODUCT_CFLAGS -Os -fno-rtti -ffunction-sections -fdata-sections -DUNICODE -D_UNICODE
    -DWIN32_LEAN_AND_MEAN -D_WIN32_WINNT=0x0500 -DWINVER=0x0500)
# Windows 2000 must load it: subsystem 5.0, and no runtime DLL beside it.
set(PRODUCT_LDFLAGS -municode -static -static-libgcc -static-libstdc++
    -Wl,--gc-sections -Wl,--major-subsystem-version,5,--minor-subsystem-version,0
    -Wl,--major-os-version,5,--minor-os-version,0)

add_library(chainer_core STATIC ${CORE_SOURCES})
# The INI parser is the one hot loop: compiled for speed, at about 3 KB.
set_source_files_properties(src/config/ini_document.cpp PROPERTIES COMPILE_OPTIONS -O2)
target_include_directories(chainer_core PUBLIC ${CMAKE_SOURCE_DIR}/src)
target_compile_options(chainer_core PRIVATE ${WARNINGS} ${PRODUCT_CFLAGS})

add_library(chainer_win STATIC
    src/app/chain_run_win.cpp
    src/app/chainer_app_win.cpp
    src/app/installer_idle_win.cpp
    src/app/interboot_store_win.cpp
    src/base/narrow_text_win.cpp
    src/base/wide_string_win.cpp
    src/base/string_table_win.cpp
    src/config/config_environment_win.cpp
    src/config/ini_file_win.cpp
    src/detect/ie_probe_win.cpp
    src/detect/platform_win.cpp
    src/detect/property_resolver_win.cpp
    src/detect/registry_win.cpp
    src/detect/search_machine_win.cpp
    src/download/credentials_win.cpp
    src/download/download_available_win.cpp
    src/download/downloader_win.cpp
    src/download/url_win.cpp
    src/download/web_sites_win.cpp
    src/fs/files_win.cpp
    src/install/launch_win.cpp
    src/install/reboot_win.cpp
    src/install/run_at_logon_win.cpp
    src/log/log_file_win.cpp
    src/ui/centre_window_win.cpp
    src/ui/preparing_window_win.cpp
)
target_include_directories(chainer_win PUBLIC ${CMAKE_SOURCE_DIR}/src)
target_compile_options(chainer_win PRIVATE ${WARNINGS} ${PRODUCT_CFLAGS})
target_link_libraries(chainer_win PUBLIC chainer_core ole32 shell32 version wininet)

configure_file(src/resources/version.h.in ${CMAKE_BINARY_DIR}/generated/version.h @ONLY)
add_executable(chainer WIN32 src/app/main_win.cpp src/app/runtime_win.cpp src/resources/chainer.rc)
target_include_directories(chainer PRIVATE ${CMAKE_BINARY_DIR}/generated ${CMAKE_SOURCE_DIR}/src/resources)
target_compile_options(chainer PRIVATE ${WARNINGS} ${PRODUCT_CFLAGS})
target_link_options(chainer PRIVATE ${PRODUCT_LDFLAGS} -s)
target_link_libraries(chainer PRIVATE chainer_win)
set_source_files_properties(src/resources/chainer.rc PROPERTIES
    OBJECT_DEPENDS "${CMAKE_SOURCE_DIR}/src/resources/chainer.manifest;${CMAKE_SOURCE_DIR}/src/resources/chainer.ico")

# Unit tests under Wine: the portable tests again, compiled by the product's
# own compiler and runtime, plus the tests of the Windows-bound code.
# doctest is header-only; the cross compiler must not see the rest of
# /usr/include, so the one header is copied into the build tree.
configure_file(/usr/include/doctest/doctest.h ${CMAKE_BINARY_DIR}/thirdparty/doctest/doctest.h COPYONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/tests/wine-run ${CHAINER_ARCH})
add_executable(win_tests src/test/doctest_main.cpp ${CORE_TESTS}
    src/app/installer_idle_win_test.cpp
    src/app/interboot_store_win_test.cpp
    src/base/string_table_win_test.cpp
    src/config/ini_file_win_test.cpp
    src/detect/platform_win_test.cpp
    src/detect/search_machine_win_test.cpp
    src/download/download_available_win_test.cpp
    src/download/url_win_test.cpp
    src/fs/files_win_test.cpp
    src/install/reboot_win_test.cpp
    src/install/run_at_logon_win_test.cpp
    src/log/log_file_win_test.cpp
    src/ui/preparing_window_win_test.cpp
    # The product's resources, for the code that reads them from the running
    # executable, and the test's own (see below).
    src/resources/chainer.rc
    ${CMAKE_BINARY_DIR}/generated/test_resources.rc
)
target_include_directories(win_tests SYSTEM PRIVATE ${CMAKE_BINARY_DIR}/thirdparty)
target_include_directories(win_tests PRIVATE ${CMAKE_BINARY_DIR}/generated ${CMAKE_SOURCE_DIR}/src/resources)
target_compile_options(win_tests PRIVATE ${WARNINGS} -DUNICODE -D_UNICODE)
target_link_options(win_tests PRIVATE -static -static-libgcc -static-libstdc++)
target_link_libraries(win_tests PRIVATE chainer_win uuid)
add_test(NAME wine.win_tests COMMAND win_tests)
# The test program's own resources: a string too long for the string-table
# buffer, and files with version resources of different shapes for the
# SetupTitle tests. The files travel inside the program because under Wine it
# cannot always name its own folder (GetModuleFileNameW gives a relative
# "unix\..." path when the prefix maps no drive to the build tree).
string(REPEAT "0123456789" 150 CHAINER_LONG_TEST_STRING)
set(CHAINER_TEST_RESOURCES "STRINGTABLE\nBEGIN\n    4000 \"${CHAINER_LONG_TEST_STRING}\"\nEND\n")
set(CHAINER_TEST_RESOURCE_ID 5001)
foreach(versioned version_default version_translations version_empty)
    add_library(${versioned} MODULE tests/fixtures/${versioned}.rc)
    set_target_properties(${versioned} PROPERTIES PREFIX "" LINKER_LANGUAGE C)
    # Data only: no runtime, no entry point.
    target_link_options(${versioned} PRIVATE -nostdlib -nostartfiles -Wl,-e,0 -s)
    add_dependencies(win_tests ${versioned})
    string(APPEND CHAINER_TEST_RESOURCES "${CHAINER_TEST_RESOURCE_ID} RCDATA \"${CMAKE_BINARY_DIR}/${versioned}.dll\"\n")
    list(APPEND CHAINER_TEST_RESOURCE_FILES ${CMAKE_BINARY_DIR}/${versioned}.dll)
    math(EXPR CHAINER_TEST_RESOURCE_ID "${CHAINER_TEST_RESOURCE_ID} + 1")
endforeach()
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/generated/test_resources.rc CONTENT "${CHAINER_TEST_RESOURCES}" @ONLY)
set_source_files_properties(${CMAKE_BINARY_DIR}/generated/test_resources.rc PROPERTIES
    GENERATED ON OBJECT_DEPENDS "${CHAINER_TEST_RESOURCE_FILES}")
set_tests_properties(wine.win_tests PROPERTIES LABELS "unit;wine")

# Small Windows programs the system tests and the benchmark use.
foreach(fixture launch regtool holdmutex emptygui exitwith fileversion msiquery treewalk windows waitfor installer
        docserver launch20 dlgdrive certtrust)
    add_executable(${fixture} tests/fixtures/${fixture}.cpp)
    target_compile_options(${fixture} PRIVATE ${WARNINGS} -DUNICODE -D_UNICODE -Os)
    target_link_options(${fixture} PRIVATE -municode -static -static-libgcc -static-libstdc++ -s)
endforeach()
target_link_libraries(holdmutex PRIVATE advapi32)
target_link_libraries(regtool PRIVATE advapi32)
target_link_libraries(fileversion PRIVATE version)
target_link_libraries(msiquery PRIVATE msi)
# The stand-in installer is a GUI program, as real installers are, so that
# the show state the shell passes reaches it.
set_target_properties(installer PROPERTIES WIN32_EXECUTABLE ON)
target_link_libraries(installer PRIVATE shell32)
target_link_libraries(launch20 PRIVATE shell32)
target_link_libraries(docserver PRIVATE user32)
target_link_libraries(certtrust PRIVATE crypt32)

# Files for the file searches: one source, each with the version resource a
# test asks for, and versioned-none.dll with no version resource at all.
set(VERSIONED_FILES 1.2.3.4 2.0.0.0 3.10.0.0 65535.65535.65535.65535 1.0.65535.0)
foreach(version ${VERSIONED_FILES} none)
    string(REPLACE "." "_" target versioned_${version})
    if(version STREQUAL "none")
        add_library(${target} SHARED tests/fixtures/versioned.cpp)
    else()
        add_library(${target} SHARED tests/fixtures/versioned.cpp tests/fixtures/versioned.rc)
        string(REPLACE "." ";" parts ${version})
        list(GET parts 0 major)
        list(GET parts 1 minor)
        list(GET parts 2 build)
        list(GET parts 3 revision)
        target_compile_definitions(${target} PRIVATE VERSIONED_MAJOR=${major} VERSIONED_MINOR=${minor}
                                   VERSIONED_BUILD=${build} VERSIONED_REVISION=${revision})
    endif()
    set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME versioned-${version})
    target_compile_options(${target} PRIVATE ${WARNINGS} -Os)
    target_link_options(${target} PRIVATE -static -static-libgcc -s)
endforeach()
# Fixtures that exercise the product's own code from outside.
foreach(fixture logwriter platform reboot runatlogon launchfile opensite)
    add_executable(${fixture} tests/fixtures/${fixture}.cpp)
    target_compile_options(${fixture} PRIVATE ${WARNINGS} ${PRODUCT_CFLAGS})
    target_link_options(${fixture} PRIVATE -municode -static -static-libgcc -static-libstdc++ -s)
    target_link_libraries(${fixture} PRIVATE chainer_win)
endforeach()
# The download engine on its own, with a recording sink and credential store;
# it carries the product's resources for the credentials dialog.
add_executable(dltool tests/fixtures/dltool.cpp src/resources/chainer.rc)
target_include_directories(dltool PRIVATE ${CMAKE_BINARY_DIR}/generated ${CMAKE_SOURCE_DIR}/src/resources)
target_compile_options(dltool PRIVATE ${WARNINGS} ${PRODUCT_CFLAGS})
target_link_options(dltool PRIVATE -municode -static -static-libgcc -static-libstdc++ -s)
target_link_libraries(dltool PRIVATE chainer_win psapi)
# The benchmark's reference: an empty GUI program with the product's manifest.
target_sources(emptygui PRIVATE tests/fixtures/emptygui.rc)
target_include_directories(emptygui PRIVATE ${CMAKE_SOURCE_DIR}/src/resources)
set_target_properties(emptygui PROPERTIES WIN32_EXECUTABLE ON)

# The benchmark's INI program: the product's loader next to a plain read.
add_executable(ini_bench bench/ini_bench_win.cpp)
target_compile_options(ini_bench PRIVATE ${WARNINGS} ${PRODUCT_CFLAGS})
target_link_options(ini_bench PRIVATE -municode -static -static-libgcc -static-libstdc++ -s)
target_link_libraries(ini_bench PRIVATE chainer_win)

# The download benchmark's reference: the engine's WinINet calls in a bare loop.
add_executable(wininet_loop bench/wininet_loop_win.cpp)
target_include_directories(wininet_loop PRIVATE ${CMAKE_SOURCE_DIR}/src)
target_compile_options(wininet_loop PRIVATE ${WARNINGS} -O2 -DUNICODE -D_UNICODE -DWIN32_LEAN_AND_MEAN)
target_link_options(wininet_loop PRIVATE -municode -static -static-libgcc -static-libstdc++ -s)
target_link_libraries(wininet_loop PRIVATE wininet psapi)
