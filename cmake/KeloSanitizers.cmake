# Applies KELO_SANITIZE to every target of the build, SDK sources included,
# so that instrumented and uninstrumented code never share memory unseen.
if(KELO_SANITIZE)
  add_compile_options(-fsanitize=${KELO_SANITIZE} -fno-omit-frame-pointer -g)
  add_link_options(-fsanitize=${KELO_SANITIZE})
  if(KELO_SANITIZE MATCHES "undefined")
    add_compile_options(-fno-sanitize-recover=undefined)
  endif()
  add_compile_definitions(KELO_SANITIZED=1)
endif()
