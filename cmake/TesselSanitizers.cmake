if(TESSEL_SANITIZE)
  # -O1 keeps the sanitized test run fast enough for CI on two cores.
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer -O1 -g)
  add_link_options(-fsanitize=address,undefined)
endif()
