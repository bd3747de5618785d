# Warnings for the project's own code; errors only when asked (./test.sh and
# so CI turn them on), so that a newer compiler's new warning never breaks a
# user's build.
option(TESSEL_WERROR "Treat warnings in the project's own code as errors" OFF)
function(tessel_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra $<$<BOOL:${TESSEL_WERROR}>:-Werror> -Wno-unused-parameter)
endfunction()
