# Native Linux build: the portable library and its unit tests under
# AddressSanitizer and UndefinedBehaviorSanitizer.
set(SANITIZE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)

add_library(chainer_core STATIC ${CORE_SOURCES})
target_include_directories(chainer_core PUBLIC ${CMAKE_SOURCE_DIR}/src)
target_compile_options(chainer_core PRIVATE ${WARNINGS} ${SANITIZE} -g)

add_executable(core_tests src/test/doctest_main.cpp ${CORE_TESTS})
target_link_libraries(core_tests PRIVATE chainer_core)
target_compile_options(core_tests PRIVATE ${WARNINGS} ${SANITIZE} -g)
target_link_options(core_tests PRIVATE ${SANITIZE})
add_test(NAME native.core_tests COMMAND core_tests)
set_tests_properties(native.core_tests PROPERTIES LABELS "unit;native")

# The Windows build tree's tests (unit tests under Wine) and the system tests
# join this tree's ctest run, so one `ctest` covers everything.
set(CHAINER_WIN_TEST_TREE "" CACHE PATH "Build tree of the Windows test build")
if(CHAINER_WIN_TEST_TREE)
    file(WRITE ${CMAKE_BINARY_DIR}/win_tests.cmake "subdirs(\"${CHAINER_WIN_TEST_TREE}\")\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${CMAKE_BINARY_DIR}/win_tests.cmake)

    add_test(NAME system
             COMMAND /usr/bin/python3 -m pytest -q -p no:cacheprovider ${CMAKE_SOURCE_DIR}/tests/system
             WORKING_DIRECTORY ${CMAKE_SOURCE_DIR})
    set_tests_properties(system PROPERTIES
        LABELS "system"
        ENVIRONMENT "CHAINER_WIN_TEST_TREE=${CHAINER_WIN_TEST_TREE}"
        TIMEOUT 3000)
endif()
