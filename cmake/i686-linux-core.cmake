# A 32-bit x86 build of the portable core and its unit and whole-system tests, with the code
# generation flags of the shipped i686 Windows build (-msse2 -mfpmath=sse), run under qemu-i386
# (user mode; its 32-bit C library comes with gcc-multilib), so it runs also where the kernel cannot
# execute 32-bit programs and 32-bit Wine therefore cannot start. No backend: the core alone.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT "-m32 -msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-m32 -msse2 -mfpmath=sse")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32 -static-libgcc -static-libstdc++")

set(CMAKE_CROSSCOMPILING_EMULATOR qemu-i386)
