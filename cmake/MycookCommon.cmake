# Shared compile settings: warnings for our own targets, optional sanitizers.
add_library(mycook_options INTERFACE)
target_compile_options(mycook_options INTERFACE -Wall -Wextra -Wpedantic -Wno-unused-parameter)


# The hardening Debian expects of a packaged program: checked buffer functions where
# the optimiser can see sizes, stack protector, position-independent executables and
# relocations read-only after start-up. Sanitizer and fuzzing builds have their own.
if(NOT MYCOOK_SANITIZE AND NOT MYCOOK_FUZZ)
    include(CheckPIESupported)
    check_pie_supported()
    set(CMAKE_POSITION_INDEPENDENT_CODE ON)
    add_compile_options(-fstack-protector-strong
                        "$<$<NOT:$<CONFIG:Debug>>:-D_FORTIFY_SOURCE=2>")
    add_link_options(-Wl,-z,relro,-z,now)
endif()

if(MYCOOK_FUZZ)
    # Coverage for every library, so the fuzzers see into the code they drive.
    add_compile_options(-fsanitize=fuzzer-no-link)
endif()

if(MYCOOK_SANITIZE)
    # Applied globally so static libraries and tests agree on the runtime.
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                        -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
endif()

# Adds a GoogleTest executable and registers it with CTest.
# Usage: mycook_add_test(NAME name SOURCES a.cpp b.cpp LIBS lib1 lib2)
function(mycook_add_test)
    cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES})
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main mycook_options)
    add_test(NAME ${T_NAME} COMMAND ${T_NAME})
    set_tests_properties(${T_NAME} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;MYCOOK_TESTDATA=${PROJECT_SOURCE_DIR}/tests/samples;MYCOOK_SOURCE_DIR=${PROJECT_SOURCE_DIR}"
        TIMEOUT 600)
    mycook_leak_check(${T_NAME})
endfunction()

# Under the sanitizers every test runs with leak checking; only the caches that Qt
# and the font libraries keep for the process are suppressed (tests/lsan.supp), by
# function: allocation stacks are unwound fully, through the font libraries too.
function(mycook_leak_check NAME)
    if(MYCOOK_SANITIZE)
        set_property(TEST ${NAME} APPEND PROPERTY ENVIRONMENT
            "ASAN_OPTIONS=detect_leaks=1:fast_unwind_on_malloc=0"
            "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0")
    endif()
endfunction()

# Adds every immediate subfolder that has a CMakeLists.txt, so areas can grow independently.
function(mycook_add_subdirs)
    file(GLOB children RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
    list(SORT children)
    foreach(child ${children})
        if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${child}
           AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt)
            add_subdirectory(${child})
        endif()
    endforeach()
endfunction()

# A fuzz harness defines LLVMFuzzerTestOneInput. With MYCOOK_FUZZ (clang) it is
# built as a libFuzzer binary; otherwise it is linked with a replay driver and
# CTest feeds it every file of its corpus and fixture folders.
# Usage: mycook_add_fuzzer(NAME n SOURCES s.cpp LIBS l CORPUS dir [dir...])
function(mycook_add_fuzzer)
    cmake_parse_arguments(F "" "NAME" "SOURCES;LIBS;CORPUS" ${ARGN})
    add_executable(${F_NAME} ${F_SOURCES})
    target_link_libraries(${F_NAME} PRIVATE ${F_LIBS} mycook_options)
    if(MYCOOK_FUZZ)
        target_compile_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
        target_link_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
    else()
        target_sources(${F_NAME} PRIVATE ${PROJECT_SOURCE_DIR}/tests/fuzz/ReplayMain.cpp)
    endif()
    if(MYCOOK_TESTS)
        add_test(NAME ${F_NAME}_replay COMMAND ${F_NAME} ${F_CORPUS})
        set_tests_properties(${F_NAME}_replay PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
                             TIMEOUT 600)
        mycook_leak_check(${F_NAME}_replay)
    endif()
endfunction()
