# DW_SANITIZE applies one sanitizer set to every target, so that the tests run instrumented.
if(DW_SANITIZE)
  list(JOIN DW_SANITIZE "," _dw_sanitizers)
  add_compile_options(-fsanitize=${_dw_sanitizers} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${_dw_sanitizers})
endif()
