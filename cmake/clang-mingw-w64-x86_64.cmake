# A second compiler for the same sources: Debian's clang, targeting 64-bit Windows with the mingw-w64
# headers and the cross GCC's static libraries. It builds the program under stricter warnings than the
# release build, so a GCC-only construct fails here before a Visual Studio user meets it. scripts/test.sh
# configures it with -DHOVERLATCH_BUILD_TESTS=OFF (no optimisation: only the diagnostics count) and
# builds the target Hoverlatch; nothing runs that program.
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-x86_64.cmake)

set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET x86_64-w64-mingw32)
set(CMAKE_CXX_COMPILER_TARGET x86_64-w64-mingw32)

# clang finds the mingw-w64 C headers but not the posix cross GCC's libstdc++ (its folder name, "12-posix",
# is no version clang recognises): take the folders from that compiler itself.
execute_process(COMMAND x86_64-w64-mingw32-g++-posix -print-file-name=include
                OUTPUT_VARIABLE gcc_include OUTPUT_STRIP_TRAILING_WHITESPACE)
set(CMAKE_CXX_STANDARD_INCLUDE_DIRECTORIES
    ${gcc_include}/c++ ${gcc_include}/c++/x86_64-w64-mingw32 ${gcc_include}/c++/backward)

# LLVM switches to the big object format by itself when a file needs it.
set(CMAKE_CXX_FLAGS_INIT "")
# clang's driver adds winpthread (which libstdc++'s posix threads need) only for -pthread, and looks for
# libstdc++ and libgcc in no folder of that compiler's.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -pthread -L${gcc_include}/..")
set(HOVERLATCH_WARNINGS -Wall -Wextra -Wconversion -Wshadow -Werror)
