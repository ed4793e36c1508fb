# Warnings for the project's own code; third-party headers come in as system headers.
set(WAVLON_WARNINGS
    -Wall -Wextra -Wpedantic -Wshadow -Wold-style-cast -Wnon-virtual-dtor
    -Woverloaded-virtual -Wimplicit-fallthrough)
if(WAVLON_WERROR)
  list(APPEND WAVLON_WARNINGS -Werror)
endif()

function(wavlon_warnings target)
  target_compile_options(${target} PRIVATE ${WAVLON_WARNINGS})
endfunction()
