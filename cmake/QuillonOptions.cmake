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

find_package(Threads REQUIRED)
