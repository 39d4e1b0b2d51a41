# lvx_add_fuzz_target(<name> SOURCES <files...> [LIBS <targets...>])
#
# One fuzz target: its sources define LLVMFuzzerTestOneInput (and, if they need it,
# LLVMFuzzerInitialize); its seeds live in fuzz/corpus/<name>/.
#
# - In the fuzz build (LINKVEX_FUZZ, clang) it becomes the libFuzzer executable
#   fuzz_<name>, listed in <build>/fuzz-targets.txt for `./dev fuzz`.
# - In every other build with tests it becomes fuzz_replay_<name>: the same sources with a
#   small main that feeds each seed file once, registered as the CTest test
#   fuzz_replay_<name>, so that an input that once crashed stays fixed.
function(lvx_add_fuzz_target name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    set(corpus ${CMAKE_SOURCE_DIR}/fuzz/corpus/${name})
    if(NOT IS_DIRECTORY ${corpus})
        message(FATAL_ERROR "fuzz target ${name} has no seed folder fuzz/corpus/${name}")
    endif()
    if(LINKVEX_FUZZ)
        set(exe fuzz_${name})
        add_executable(${exe} ${ARG_SOURCES})
        target_link_options(${exe} PRIVATE -fsanitize=fuzzer)
        set_property(GLOBAL APPEND PROPERTY LVX_FUZZ_TARGETS ${name})
    else()
        set(exe fuzz_replay_${name})
        add_executable(${exe} ${ARG_SOURCES} ${CMAKE_SOURCE_DIR}/fuzz/ReplayMain.cpp)
        add_test(NAME ${exe} COMMAND ${exe} ${corpus})
        set_tests_properties(${exe} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
            TIMEOUT 120 LABELS fuzz)
    endif()
    target_link_libraries(${exe} PRIVATE ${ARG_LIBS})
    set_target_properties(${exe} PROPERTIES AUTOMOC OFF)
    target_include_directories(${exe} PRIVATE ${CMAKE_SOURCE_DIR}/fuzz ${CMAKE_SOURCE_DIR}/tests)
endfunction()

# Writes the list of fuzz targets for ./dev fuzz; called once after every target is added.
function(lvx_write_fuzz_target_list)
    if(NOT LINKVEX_FUZZ)
        return()
    endif()
    get_property(names GLOBAL PROPERTY LVX_FUZZ_TARGETS)
    list(JOIN names "\n" text)
    file(WRITE ${CMAKE_BINARY_DIR}/fuzz-targets.txt "${text}\n")
    add_custom_target(fuzz_targets)
    foreach(name IN LISTS names)
        add_dependencies(fuzz_targets fuzz_${name})
    endforeach()
endfunction()
