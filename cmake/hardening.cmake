# Debian's hardening flags (dpkg-buildflags with hardening=+all: stack protector, fortified libc
# calls, read-only relocations bound at start-up, position-independent executables), plus the
# stack-clash and control-flow protection of newer Debian releases where the compiler has them.
# On by default, so a plain `cmake` build and the package built from it get them. CMake ignores
# CPPFLAGS, so fortification is set here; it needs optimisation and is kept out of Debug builds
# and of sanitizer builds (whose interceptors it would bypass).
option(ZUN2_HARDENING "Build with Debian's hardening flags" ON)
if(NOT ZUN2_HARDENING)
  return()
endif()

include(CheckCXXCompilerFlag)
include(CheckPIESupported)
check_pie_supported()
set(CMAKE_POSITION_INDEPENDENT_CODE ON)

add_compile_options(-fstack-protector-strong -Wformat -Werror=format-security)
check_cxx_compiler_flag(-fstack-clash-protection ZUN2_HAS_STACK_CLASH_PROTECTION)
if(ZUN2_HAS_STACK_CLASH_PROTECTION)
  add_compile_options(-fstack-clash-protection)
endif()
check_cxx_compiler_flag(-fcf-protection ZUN2_HAS_CF_PROTECTION)
if(ZUN2_HAS_CF_PROTECTION)
  add_compile_options(-fcf-protection)
endif()
if(NOT CMAKE_CXX_FLAGS MATCHES "-fsanitize=")
  add_compile_options("$<$<NOT:$<CONFIG:Debug>>:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=2>")
endif()
add_link_options(LINKER:-z,relro LINKER:-z,now)
