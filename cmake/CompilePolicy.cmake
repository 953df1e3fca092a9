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
# Linux builds that ship (no sanitizers) get the distribution's hardening: a stack protector,
# checked libc calls where the optimiser can see buffer sizes, relocations read-only and bound
# at start. (The agent's cross-build links PE files, which have no RELRO.)
if(NOT VC_SANITIZE AND NOT WIN32)
  target_compile_options(vc_policy INTERFACE -fstack-protector-strong
    $<$<NOT:$<CONFIG:Debug>>:-D_FORTIFY_SOURCE=2>)
  target_link_options(vc_policy INTERFACE -Wl,-z,relro -Wl,-z,now)
endif()
