# Warnings for the project's own targets (not for GoogleTest).
function(quarvo_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
                                           -Wnon-virtual-dtor -Wold-style-cast -Werror)
endfunction()
