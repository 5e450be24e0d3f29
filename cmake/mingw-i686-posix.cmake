# The 32-bit Windows cross-build with the compilers of the POSIX thread model. GoogleTest, the
# pump's reader and writer threads and the kelvo program need std::mutex and std::thread, which
# the default (win32) compilers lack, so both Windows builds (the zip's and the tests') use
# these. The programs link statically, the thread library included: the zip needs no DLL beside
# them.
include(${CMAKE_CURRENT_LIST_DIR}/mingw-i686.cmake)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
