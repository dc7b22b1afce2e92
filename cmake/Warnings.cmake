# Every target of the project is built with the same warnings; the build stays clean under them
# with gcc and clang (CI turns them into errors with -DDW_WERROR=ON).
option(DW_WERROR "Treat warnings as errors" OFF)
add_compile_options(-Wall -Wextra -Wpedantic -Wshadow -Wno-missing-field-initializers)
if(DW_WERROR)
  add_compile_options(-Werror)
endif()
