# Compiler settings shared by every target of the project.

# Warnings for one target; errors only where asked (CI sets CMAKE_COMPILE_WARNING_AS_ERROR).
function(quillmap_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
                                           -Wsign-conversion)
endfunction()

if(QUILLMAP_SANITIZE)
  # -fno-sanitize-recover makes every finding fail the test that caused it.
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
