# Every test keeps the program's settings (the file dialogs' folders) in the build folder,
# never in the user's own configuration.
set(LVX_TEST_CONFIG_HOME "XDG_CONFIG_HOME=${CMAKE_BINARY_DIR}/test-config")

# lvx_add_gtest(<name> SOURCES <files...> LIBS <targets...> [PROPERTIES <name> <value>...])
# A GoogleTest executable whose tests are listed by CTest one by one. PROPERTIES are set on
# every test, e.g. RESOURCE_LOCK udp_ports for tests that bind the UDP ports 31001/31002.
function(lvx_add_gtest name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;ENV;PROPERTIES" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
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

# lvx_add_qtest(<name> SOURCES <files...> LIBS <targets...> [PROPERTIES <name> <value>...])
# A Qt Test executable run headless.
function(lvx_add_qtest name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;PROPERTIES" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} Qt6::Test)
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
    target_compile_definitions(${name} PRIVATE
        LVX_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
        LVX_CORPUS_DIR="${CMAKE_SOURCE_DIR}/tests/data/edid"
        LVX_BIN_DIR="${CMAKE_BINARY_DIR}/bin"
        LVX_VERSION="${LINKVEX_VERSION}")
    add_test(NAME ${name} COMMAND ${name})
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
