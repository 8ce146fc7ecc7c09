# Fuzz target for the macro value parser (group files and constMacro.dat).
#
# The parser lives in quillet_core. For the fuzzer to see what its input reaches there, the
# core is compiled once more with coverage feedback and the sanitizers, for the fuzz targets
# only (the other executables of this build keep the plain core).
if(NOT TARGET quillet_core_fuzz)
  get_target_property(QUILLET_CORE_SOURCES quillet_core SOURCES)
  add_library(quillet_core_fuzz STATIC ${QUILLET_CORE_SOURCES})
  target_include_directories(quillet_core_fuzz PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(quillet_core_fuzz PUBLIC Threads::Threads PRIVATE quillet_warnings)
  target_compile_options(quillet_core_fuzz PRIVATE -fsanitize=fuzzer-no-link,address,undefined)
endif()

add_executable(fuzz_macro_value ${CMAKE_CURRENT_SOURCE_DIR}/macro_value_fuzz.cpp)
target_compile_options(fuzz_macro_value PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_options(fuzz_macro_value PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_libraries(fuzz_macro_value PRIVATE quillet_core_fuzz quillet_warnings)
