# The Windows programs as they are shipped: each with the application icon and
# a version resource, installed into one folder with the DLLs they load (the
# C++ runtime Qt uses too, Qt's DLLs and its windows platform and style
# plugins), and the MSI made from that folder (cmake --build . --target msi).
enable_language(RC)

# The icon and a version resource made from the project's version.
function(tovask_windows_resource target description)
  set(TOVASK_RC_NAME ${target})
  set(TOVASK_RC_FILE ${target}.exe)
  set(TOVASK_RC_DESCRIPTION "${description}")
  set(TOVASK_RC_ICON ${PROJECT_SOURCE_DIR}/resources/icons/tovask.ico)
  string(REPLACE "." "," TOVASK_RC_VERSION ${PROJECT_VERSION})
  set(rc ${CMAKE_BINARY_DIR}/generated/${target}.rc)
  configure_file(${PROJECT_SOURCE_DIR}/resources/windows/program.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
  set_property(SOURCE ${rc} TARGET_DIRECTORY ${target} APPEND PROPERTY OBJECT_DEPENDS ${TOVASK_RC_ICON})
endfunction()

tovask_windows_resource(tovask-cli "Tovask command-line tool for card reader templates")
if(TARGET tovask)
  tovask_windows_resource(tovask "Tovask, editor for programmable magnetic-stripe card readers")
endif()

# One C++ runtime in every process: the programs, like Qt's DLLs, load
# libstdc++-6.dll, which needs the other two.
set(TOVASK_RUNTIME_DLLS)
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                  OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
    message(FATAL_ERROR "${CMAKE_CXX_COMPILER} does not know where ${dll} is")
  endif()
  get_filename_component(path "${path}" REALPATH)
  list(APPEND TOVASK_RUNTIME_DLLS ${path})
endforeach()
install(FILES ${TOVASK_RUNTIME_DLLS} DESTINATION .)

# The folders Windows searches for those DLLs when a program runs from the
# build tree (under Wine, WINEPATH): the runtime's and Qt's.
set(TOVASK_DLL_DIRS)
foreach(dll IN LISTS TOVASK_RUNTIME_DLLS)
  get_filename_component(dir ${dll} DIRECTORY)
  list(APPEND TOVASK_DLL_DIRS ${dir})
endforeach()
if(TARGET Qt6::Core)
  get_target_property(qt_core Qt6::Core IMPORTED_LOCATION_RELEASE)
  get_filename_component(dir ${qt_core} DIRECTORY)
  list(APPEND TOVASK_DLL_DIRS ${dir})
  install(FILES $<TARGET_FILE:Qt6::Core> $<TARGET_FILE:Qt6::Gui> $<TARGET_FILE:Qt6::Widgets> DESTINATION .)
  foreach(plugin QWindowsIntegrationPlugin QWindowsVistaStylePlugin)
    if(NOT TARGET Qt6::${plugin})
      message(FATAL_ERROR "Qt in ${CMAKE_PREFIX_PATH} has no ${plugin}: the editor cannot start on Windows without it")
    endif()
  endforeach()
  install(FILES $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin> DESTINATION platforms)
  install(FILES $<TARGET_FILE:Qt6::QWindowsVistaStylePlugin> DESTINATION styles)
endif()
list(REMOVE_DUPLICATES TOVASK_DLL_DIRS)

# The tests run under Wine through wine-run.sh in the build folder, which
# gives them those DLL folders and Qt's variables with the WINE prefix (Wine
# passes no QT_ variable on): the offscreen platform with the fonts of
# fonts-liberation, and messages on stderr rather than the debugger's.
if(CMAKE_CROSSCOMPILING_EMULATOR)
  set(winepath)
  foreach(dir IN LISTS TOVASK_DLL_DIRS)
    string(REPLACE "/" "\\" dir "Z:${dir}")
    string(APPEND winepath "${dir};")
  endforeach()
  string(REGEX REPLACE ";$" "" winepath "${winepath}")
  set(TOVASK_WINE_RUN ${CMAKE_BINARY_DIR}/wine-run.sh)
  file(WRITE ${TOVASK_WINE_RUN} "#!/bin/sh
# Runs a program of this build under Wine (made by CMake).
export WINEPATH='${winepath}'
export WINEQT_QPA_PLATFORM=\${WINEQT_QPA_PLATFORM:-offscreen}
export WINEQT_QPA_FONTDIR='Z:\\usr\\share\\fonts\\truetype\\liberation'
export WINEQT_FORCE_STDERR_LOGGING=1
exec '${CMAKE_CROSSCOMPILING_EMULATOR}' \"\$@\"
")
  file(CHMOD ${TOVASK_WINE_RUN} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
       WORLD_READ WORLD_EXECUTE)
  set(TOVASK_WINE ${CMAKE_CROSSCOMPILING_EMULATOR})
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TOVASK_WINE_RUN})
endif()

# The MSI: the install folder staged, its files listed by wixl-heat, and wixl.
find_program(TOVASK_WIXL wixl)
find_program(TOVASK_WIXL_HEAT wixl-heat)
if(TARGET tovask AND TOVASK_WIXL AND TOVASK_WIXL_HEAT)
  set(TOVASK_MSI ${CMAKE_BINARY_DIR}/tovask-${PROJECT_VERSION}-windows-x64.msi)
  add_custom_target(msi
    COMMAND ${CMAKE_COMMAND} -DBINARY_DIR=${CMAKE_BINARY_DIR} -DSTAGE=${CMAKE_BINARY_DIR}/msi-stage
            -DWXS=${PROJECT_SOURCE_DIR}/resources/windows/tovask.wxs -DOUTPUT=${TOVASK_MSI}
            -DVERSION=${PROJECT_VERSION} -DICON=${PROJECT_SOURCE_DIR}/resources/icons/tovask.ico
            -DHOMEPAGE=${TOVASK_HOMEPAGE} -DWIXL=${TOVASK_WIXL} -DWIXL_HEAT=${TOVASK_WIXL_HEAT}
            -P ${PROJECT_SOURCE_DIR}/cmake/windows_msi.cmake
    DEPENDS tovask tovask-cli
    COMMENT "Making ${TOVASK_MSI}"
    VERBATIM)
endif()
