# The one place that says how every target of the project is compiled.
option(VC_WERROR "Treat warnings as errors" OFF)
option(VC_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)

add_library(vc_policy INTERFACE)
target_compile_options(vc_policy INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wconversion
  $<$<COMPILE_LANGUAGE:CXX>:-Wnon-virtual-dtor -Woverloaded-virtual>)
target_compile_definitions(vc_policy INTERFACE
  QT_NO_NARROWING_CONVERSIONS_IN_CONNECT QT_DISABLE_DEPRECATED_BEFORE=0x060400)
if(VC_WERROR)
  target_compile_options(vc_policy INTERFACE -Werror)
endif()
if(VC_SANITIZE)
  target_compile_options(vc_policy INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(vc_policy INTERFACE -fsanitize=address,undefined)
endif()
