# Fuzz target for the macro value parser (group files and constMacro.dat).
add_executable(fuzz_macro_value ${CMAKE_CURRENT_SOURCE_DIR}/macro_value_fuzz.cpp)
target_compile_options(fuzz_macro_value PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_options(fuzz_macro_value PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_libraries(fuzz_macro_value PRIVATE quillet_core quillet_warnings)
# The parser lives in quillet_core: give it coverage feedback and the same sanitizers.
target_compile_options(quillet_core PRIVATE -fsanitize=fuzzer-no-link,address,undefined)
