# Cross build for 64-bit Windows with mingw-w64 (posix thread model, GCC 12).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Plain -static: -static-libgcc/-static-libstdc++ alone still leave libwinpthread-1.dll behind.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# Big test translation units exceed the default COFF section count.
set(CMAKE_CXX_FLAGS_INIT "-Wa,-mbig-obj")

# Test executables run through Wine; the wrapper supplies the prefix and display.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)

# Only the program itself uses wWinMain; GoogleTest's main stays narrow.
set(HOVERLATCH_UNICODE_ENTRY -municode)
set(HOVERLATCH_WARNINGS -Wall -Wextra -Werror)
# Size of the shipped executable: every function and datum in a section of its own, and sections nothing
# refers to dropped at link time. Most of the gain is in the static libraries (libuuid's whole table of
# interface identifiers otherwise comes along): about 43 KiB of the stripped program.
set(HOVERLATCH_SECTION_FLAGS -ffunction-sections -fdata-sections)
# The same program bytes from the same source, whatever the folder, the time or the user (measured: the link
# time in the PE header, and the PE checksum with it, was all that varied). ld stamps the header with the
# link time unless told not to. Source paths would reach the binary through __FILE__ (assert in a debug
# build) or debug info; they are written relative to the source root. MSVC's counterpart is /Brepro.
get_filename_component(HOVERLATCH_SOURCE_ROOT "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(HOVERLATCH_REPRODUCIBLE_FLAGS "-ffile-prefix-map=${HOVERLATCH_SOURCE_ROOT}=.")
# The shipped program's link. std::terminate's default handler writes the uncaught exception's demangled
# type to stderr, which a windowed program has not got, and then aborts; aborting at once ends the program
# the same way without the demangler and its printing: 56 KiB of the stripped program (the unit tests keep
# the default handler). ld stamps the header with the link time unless told not to.
set(HOVERLATCH_PROGRAM_LINK_FLAGS -Wl,--gc-sections -Wl,--defsym=_ZN9__gnu_cxx27__verbose_terminate_handlerEv=abort
    -Wl,--no-insert-timestamp)
