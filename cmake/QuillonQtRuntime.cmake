# The Qt runtime beside the Windows programs: there is no windeployqt for a Qt built here, so
# the build copies what the window and its tests load into the program folder, and the
# installer takes the same files (without the test library).
# quillon_deploy_qt(target) makes `target` wait for the copy; on other platforms it does
# nothing (the window uses the system's Qt).

set(QUILLON_QT_DLLS Qt6Core Qt6Gui Qt6Widgets Qt6OpenGL)
# The windows platform plugin shows the window; offscreen runs it without a display (tests);
# the Vista style is the system's look.
set(QUILLON_QT_PLUGINS platforms/qwindows platforms/qoffscreen styles/qwindowsvistastyle)

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
