# Every target of the project is built with the same warnings; the build stays clean under them.
add_compile_options(-Wall -Wextra -Wpedantic -Wshadow -Wno-missing-field-initializers)
