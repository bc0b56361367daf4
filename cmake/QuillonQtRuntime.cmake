# The Qt runtime beside the Windows programs: there is no windeployqt for a Qt built here, so
# the build copies what the window and its tests load into the program folder, and the
# installer takes the same files (without the test library).
# quillon_deploy_qt(target) makes `target` wait for the copy; on other platforms it does
# nothing (the window uses the system's Qt).

set(QUILLON_QT_DLLS Qt6Core Qt6Gui Qt6Widgets)
# The windows platform plugin shows the window; offscreen runs it without a display (tests).
# The window draws in the Fusion style, which Widgets carries, on every platform.
set(QUILLON_QT_PLUGINS platforms/qwindows platforms/qoffscreen)

# What a window test runs with: no display (the offscreen platform). Wine hands no QT_*
# variable to a Windows program; it passes WINEQT_* under the QT_* name. On Windows the
# virtual board library finds no board (a test that wants one attaches its own in-process
# board), as the Linux tests find no vessa-sim.
set(QUILLON_QT_TEST_ENVIRONMENT QT_QPA_PLATFORM=offscreen)
if(WIN32)
    set(quillon_unplugged ${CMAKE_BINARY_DIR}/unplugged-board.ini)
    file(READ ${PROJECT_SOURCE_DIR}/sim/scenarios/default.ini quillon_scenario)
    string(REPLACE "plugged = yes" "plugged = no" quillon_scenario "${quillon_scenario}")
    file(WRITE ${quillon_unplugged} "${quillon_scenario}")
    # The test's messages reach the log through the debugger channel (+debugstr); the
    # offscreen platform draws with the fonts of QT_QPA_FONTDIR (Debian's DejaVu).
    list(APPEND QUILLON_QT_TEST_ENVIRONMENT WINEQT_QPA_PLATFORM=offscreen
         WINEQT_QPA_FONTDIR=Z:/usr/share/fonts/truetype/dejavu WINEDEBUG=-all,+debugstr
         VESSA_SIM_SCENARIO=Z:${quillon_unplugged})
endif()

function(quillon_deploy_qt target)
    if(NOT WIN32)
        return()
    endif()
    if(NOT TARGET quillon_qt_runtime)
        set(copies)
        set(outputs)
        foreach(dll IN LISTS QUILLON_QT_DLLS ITEMS Qt6Test)
            list(APPEND copies COMMAND ${CMAKE_COMMAND} -E copy_if_different
                 ${QUILLON_QT_PREFIX}/bin/${dll}.dll ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/)
        endforeach()
        foreach(plugin IN LISTS QUILLON_QT_PLUGINS)
            get_filename_component(kind ${plugin} DIRECTORY)
            list(APPEND copies
                 COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${kind}
                 COMMAND ${CMAKE_COMMAND} -E copy_if_different
                         ${QUILLON_QT_PREFIX}/plugins/${plugin}.dll
                         ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${kind}/)
        endforeach()
        add_custom_target(quillon_qt_runtime ALL ${copies}
                          COMMENT "Copying the Qt runtime beside the programs")
    endif()
    add_dependencies(${target} quillon_qt_runtime)
endfunction()

# The installed program folder's share of Qt (see cmake/QuillonWindowsPackage.cmake).
function(quillon_install_qt component)
    foreach(dll IN LISTS QUILLON_QT_DLLS)
        install(FILES ${QUILLON_QT_PREFIX}/bin/${dll}.dll DESTINATION . COMPONENT ${component})
    endforeach()
    foreach(plugin IN LISTS QUILLON_QT_PLUGINS)
        get_filename_component(kind ${plugin} DIRECTORY)
        if(plugin MATCHES offscreen)
            continue()  # only the tests run without a display
        endif()
        install(FILES ${QUILLON_QT_PREFIX}/plugins/${plugin}.dll DESTINATION ${kind}
                COMPONENT ${component})
    endforeach()
endfunction()
