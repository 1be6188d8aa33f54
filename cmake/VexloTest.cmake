# vexlo_test(<name> LABEL <folder> SOURCES <files...> [LIBS <targets...>] [GUI] [PROPERTIES <ctest properties...>])
# Builds one GoogleTest executable and registers its cases with CTest under the folder's label.
# GUI tests run on the offscreen platform.
function(vexlo_test name)
    cmake_parse_arguments(T "GUI" "LABEL" "SOURCES;LIBS;PROPERTIES" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
    set(env "QT_QPA_PLATFORM=offscreen")
    gtest_discover_tests(${name}
        DISCOVERY_MODE PRE_TEST
        DISCOVERY_TIMEOUT 60
        PROPERTIES LABELS "${T_LABEL}" ENVIRONMENT "${env}" ${T_PROPERTIES})
endfunction()
