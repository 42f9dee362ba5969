# Warnings for every target of the project: on and clean, errors where asked.
function(krovane_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion)
  if(KROVANE_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
