# quillon_folder_sources(OUT [file.cpp...]): every .cpp of the calling folder but those named.
function(quillon_folder_sources out)
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    foreach(excluded IN LISTS ARGN)
        list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${excluded})
    endforeach()
    set(${out} ${sources} PARENT_SCOPE)
endfunction()

# quillon_module(NAME [DEPS lib...] [EXCLUDE file.cpp...])
# Builds every .cpp of the calling folder into the static library quillon_NAME.
# EXCLUDE leaves out files that form a leaf library of their own (one the virtual
# board may link without the rest of the core); list that library in DEPS.
# The repository root is the include root: #include "board/board_link.h".
function(quillon_module name)
    cmake_parse_arguments(QM "" "" "DEPS;EXCLUDE" ${ARGN})
    quillon_folder_sources(sources ${QM_EXCLUDE})
    if(sources)
        add_library(quillon_${name} STATIC ${sources})
        target_include_directories(quillon_${name} PUBLIC ${PROJECT_SOURCE_DIR})
        target_link_libraries(quillon_${name} PUBLIC ${QM_DEPS})
    else()
        add_library(quillon_${name} INTERFACE)
        target_include_directories(quillon_${name} INTERFACE ${PROJECT_SOURCE_DIR})
        target_link_libraries(quillon_${name} INTERFACE ${QM_DEPS})
    endif()
endfunction()

# The driver library lets one process at a time hold a board, as a USB board does. Under Wine
# every test program shares one session, so the suites whose programs open the board
# (a window at start-up, the driver binding, a gang) take turns through this lock.
set(QUILLON_BOARD_LOCK kavo_vessa_board)
set(QUILLON_BOARD_HOLDING_SUITES board records wingang)

# quillon_test_suite(NAME DEPS lib... [EXCLUDE file.cpp...])
# One GoogleTest executable per folder below tests/, from every .cpp in it but those EXCLUDEd
# (cases for a build this one is not).
function(quillon_test_suite name)
    cmake_parse_arguments(QT "" "" "DEPS;EXCLUDE" ${ARGN})
    quillon_folder_sources(sources ${QT_EXCLUDE})
    if(NOT sources)
        return()
    endif()
    add_executable(test_${name} ${sources})
    target_link_libraries(test_${name} PRIVATE ${QT_DEPS} quillon_test_support
                          GTest::gtest GTest::gmock GTest::gtest_main)
    # NO_PRETTY_VALUES: a parameter struct would print as raw bytes (addresses included) in
    # the test names; the index or the suite's own name generator is stable.
    if(WIN32)
        # Under Wine each start of a program costs a second: one test per suite program.
        add_test(NAME ${name} COMMAND test_${name}
                 WORKING_DIRECTORY ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
        if(name IN_LIST QUILLON_BOARD_HOLDING_SUITES)
            set_tests_properties(${name} PROPERTIES RESOURCE_LOCK ${QUILLON_BOARD_LOCK})
        endif()
        return()
    endif()
    gtest_discover_tests(test_${name} WORKING_DIRECTORY ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}
                         NO_PRETTY_VALUES
                         DISCOVERY_TIMEOUT 60
                         PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()
