# Cross-building the editor, the tool and their tests for 64-bit Windows with
# Debian's MinGW-w64 (posix thread model, for std::thread and std::mutex),
# run under Wine. The editor needs Qt built for MinGW (scripts/qt-mingw.sh):
#   -DTOVASK_QT_MINGW=<its folder> -DQT_HOST_PATH=/usr
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOVASK_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TOVASK_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOVASK_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TOVASK_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TOVASK_MINGW_TRIPLE} ${TOVASK_QT_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Nothing is linked statically: the programs load libstdc++-6.dll,
# libgcc_s_seh-1.dll and libwinpthread-1.dll like Qt's DLLs, one C++ runtime
# per process; they are installed beside the programs.
# Test programs run under Wine.
find_program(TOVASK_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(TOVASK_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TOVASK_WINE})
endif()
