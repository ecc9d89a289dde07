# Compiler settings shared by every target of the project.
add_compile_options(-Wall -Wextra -Werror)

# GCC 12 at -O2 reports out-of-bounds copies inside std::vector inserts that
# cannot happen (a known false positive of its array-bounds analysis).
# Real overflows are caught at run time by the sanitizer build.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 12)
  add_compile_options(-Wno-array-bounds -Wno-stringop-overread -Wno-stringop-overflow)
endif()

if(QUILLON_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

if(QUILLON_TSAN)
  if(QUILLON_SANITIZE)
    message(FATAL_ERROR "QUILLON_TSAN and QUILLON_SANITIZE cannot be combined")
  endif()
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

if(QUILLON_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "QUILLON_FUZZ needs clang (libFuzzer)")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# The hardened build of what ships: stack protection, checked buffer calls
# of the C library, control-flow protection, and a program whose relocations
# are resolved at start and then made read-only. The remote port parses what
# strangers send; the programs and libraries that listen on it take them.
# The sanitizer and fuzz builds leave them out: their runtimes replace the
# checked C library calls, and they never ship.
if(NOT QUILLON_SANITIZE AND NOT QUILLON_TSAN AND NOT QUILLON_FUZZ)
  include(CheckCXXCompilerFlag)
  add_compile_options(-fstack-protector-strong)
  # The checked calls need optimisation; a Debug build would only warn.
  add_compile_options($<$<NOT:$<CONFIG:Debug>>:-U_FORTIFY_SOURCE>
                      $<$<NOT:$<CONFIG:Debug>>:-D_FORTIFY_SOURCE=2>)
  check_cxx_compiler_flag(-fcf-protection quillon_has_cf_protection)
  if(quillon_has_cf_protection)
    add_compile_options(-fcf-protection)
  endif()
  add_link_options(LINKER:-z,relro LINKER:-z,now)
endif()

find_package(Threads REQUIRED)
