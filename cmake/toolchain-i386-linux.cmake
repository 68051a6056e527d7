# 32-bit Linux build of the plug-in and its tests. Every test binary runs
# under qemu-user, which works on any x86-64 kernel, also on one built
# without 32-bit support; binaries are static so that qemu needs no 32-bit
# loader or libraries from the host.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
# 64-bit file offsets: on this file system 32-bit readdir fails with EOVERFLOW
# on its 64-bit directory hashes.
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_ASM_COMPILER gcc)
set(CMAKE_C_FLAGS_INIT "-m32 -D_FILE_OFFSET_BITS=64")
set(CMAKE_CXX_FLAGS_INIT "-m32 -D_FILE_OFFSET_BITS=64")
set(CMAKE_ASM_FLAGS_INIT "-m32")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32 -static")
find_program(QEMU_I386 qemu-i386-static REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${QEMU_I386})
