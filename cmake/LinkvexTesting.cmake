# Every test keeps the program's settings (the file dialogs' folders) in the build folder,
# never in the user's own configuration.
set(LVX_TEST_CONFIG_HOME "XDG_CONFIG_HOME=${CMAKE_BINARY_DIR}/test-config")

# Tests that bind the device ports (31001/31002), on loopback too, run in a network namespace
# of their own: nothing else on the machine that uses those ports can make them fail.
set(LVX_IN_NETNS ${CMAKE_SOURCE_DIR}/tests/support/in-netns.sh)

# lvx_add_gtest(<name> [NETNS] SOURCES <files...> LIBS <targets...> [PROPERTIES <name> <value>...])
# A GoogleTest executable whose tests are listed by CTest one by one. PROPERTIES are set on
# every test. NETNS runs the executable in a network namespace of its own.
function(lvx_add_gtest name)
    cmake_parse_arguments(ARG "NETNS" "" "SOURCES;LIBS;ENV;PROPERTIES" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    if(ARG_NETNS)
        set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR ${LVX_IN_NETNS})
    endif()
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
    target_compile_definitions(${name} PRIVATE
        LVX_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
        LVX_CORPUS_DIR="${CMAKE_SOURCE_DIR}/tests/data/edid"
        LVX_BIN_DIR="${CMAKE_BINARY_DIR}/bin"
        LVX_VERSION="${LINKVEX_VERSION}")
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
        PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;${LVX_TEST_CONFIG_HOME};${ARG_ENV}"
        ${ARG_PROPERTIES})
endfunction()

# lvx_add_qtest(<name> [NETNS] SOURCES <files...> LIBS <targets...> [PROPERTIES <name> <value>...])
# A Qt Test executable run headless; NETNS as above.
function(lvx_add_qtest name)
    cmake_parse_arguments(ARG "NETNS" "" "SOURCES;LIBS;PROPERTIES" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} Qt6::Test)
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
    target_compile_definitions(${name} PRIVATE
        LVX_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
        LVX_CORPUS_DIR="${CMAKE_SOURCE_DIR}/tests/data/edid"
        LVX_BIN_DIR="${CMAKE_BINARY_DIR}/bin"
        LVX_VERSION="${LINKVEX_VERSION}")
    if(ARG_NETNS)
        add_test(NAME ${name} COMMAND ${LVX_IN_NETNS} $<TARGET_FILE:${name}>)
    else()
        add_test(NAME ${name} COMMAND ${name})
    endif()
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;${LVX_TEST_CONFIG_HOME}"
        TIMEOUT 300 ${ARG_PROPERTIES})
endfunction()

# lvx_test_screens(<test> <file.json>): the headless screens of a Qt Test from a file (the
# offscreen platform's configuration: the screens' places and sizes).
function(lvx_test_screens name file)
    set_tests_properties(${name} PROPERTIES ENVIRONMENT
        "QT_QPA_PLATFORM=offscreen:configfile=${file};${LVX_TEST_CONFIG_HOME}")
endfunction()
