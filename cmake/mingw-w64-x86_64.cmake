# Cross-compiles the Windows program (64-bit) with Debian's MinGW-w64 posix-thread compiler.
#
#   cmake -S . -B build-win -G Ninja \
#         -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
#
# Everything is linked statically, so the executables need only the system's own DLLs.
# Test programs run under Wine (wine64) through CMAKE_CROSSCOMPILING_EMULATOR.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_dalvorn_mingw x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${_dalvorn_mingw}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_dalvorn_mingw}-g++-posix)
set(CMAKE_RC_COMPILER ${_dalvorn_mingw}-windres)
set(CMAKE_STRIP ${_dalvorn_mingw}-strip CACHE FILEPATH "")  # cmake --install --strip
set(CMAKE_AR ${_dalvorn_mingw}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${_dalvorn_mingw}-gcc-ranlib-posix CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${_dalvorn_mingw})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One self-contained .exe: the C and C++ runtimes and winpthreads linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test programs run under Wine. Test discovery runs them just before the tests, not at
# build time, so that building needs no Wine session.
# Wine runs in the C.UTF-8 locale whatever the shell that starts ctest has set: it maps Windows
# file names to the host's in the locale's character set, and with no locale (a bare ssh
# session, a container) that is ASCII, where a folder named in Cyrillic cannot be made.
# LANGUAGE, which outranks LC_ALL for the language of messages, goes too.
if(NOT DEFINED CMAKE_CROSSCOMPILING_EMULATOR)
  find_program(DALVORN_WINE NAMES wine64 wine PATHS /usr/lib/wine /usr/lib64/wine
               NO_CMAKE_FIND_ROOT_PATH)
  if(DALVORN_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR
        ${CMAKE_COMMAND} -E env --unset=LANGUAGE LC_ALL=C.UTF-8 LANG=C.UTF-8 ${DALVORN_WINE})
  endif()
endif()
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)

# nlohmann_json is header-only, so the build machine's copy serves the Windows build too. Its
# package files would add /usr/include to the cross compiler's search path, which must never
# see the build machine's C library headers: give it a folder that holds only its headers.
if(NOT CMAKE_PROJECT_NAME STREQUAL "CMAKE_TRY_COMPILE" AND NOT DEFINED nlohmann_json_DIR AND
   EXISTS /usr/include/nlohmann/json.hpp AND
   EXISTS /usr/share/cmake/nlohmann_json/nlohmann_jsonConfigVersion.cmake)
  set(_dalvorn_headers ${CMAKE_BINARY_DIR}/host-headers)
  file(COPY /usr/include/nlohmann DESTINATION ${_dalvorn_headers}/include)
  file(COPY /usr/share/cmake/nlohmann_json/nlohmann_jsonConfigVersion.cmake
       DESTINATION ${_dalvorn_headers}/nlohmann_json)
  file(WRITE ${_dalvorn_headers}/nlohmann_json/nlohmann_jsonConfig.cmake
       "if(NOT TARGET nlohmann_json::nlohmann_json)\n"
       "  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)\n"
       "  set_target_properties(nlohmann_json::nlohmann_json PROPERTIES\n"
       "    INTERFACE_INCLUDE_DIRECTORIES \"${_dalvorn_headers}/include\")\n"
       "endif()\n")
  set(nlohmann_json_DIR ${_dalvorn_headers}/nlohmann_json CACHE PATH
      "nlohmann_json for the Windows build: the build machine's headers alone")
endif()
