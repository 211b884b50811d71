# Cross build of corvane.exe and corvane-bench.exe for 64-bit Windows with
# Debian's MinGW-w64 compilers; statically linked so no runtime DLL is needed.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# A search node keeps its move list on the stack: give every search thread
# room for the deepest line (Windows starts a thread with only 1 MiB unless
# the executable asks for more). The helper threads take this reserve too:
# std::thread asks Windows for the executable's default.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++ -Wl,--stack,16777216")
