# The warnings every target of this project is built with. Other projects' headers (Qt, GoogleTest)
# come in as system headers and are not warned about. ZUN2_WERROR makes every warning an error.
option(ZUN2_WERROR "Treat warnings as errors" OFF)
add_library(zun2_warnings INTERFACE)
target_compile_options(zun2_warnings INTERFACE -Wall -Wextra -Wpedantic -Wconversion -Wshadow
                                               $<$<BOOL:${ZUN2_WERROR}>:-Werror>)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  # GCC 12 warns wrongly about std::string concatenation (GCC bug 105329).
  target_compile_options(zun2_warnings INTERFACE -Wno-restrict)
endif()
