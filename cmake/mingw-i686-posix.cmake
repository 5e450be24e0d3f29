# The 32-bit Windows cross-build with the compilers of the POSIX thread model. The pump's
# reader and writer threads and GoogleTest need std::thread and std::mutex, which the default
# (win32) compilers lack, so the Windows builds use these; the programs link statically, so
# they need no thread library beside them.
include(${CMAKE_CURRENT_LIST_DIR}/mingw-i686.cmake)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
