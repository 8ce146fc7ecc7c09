# Macro benchmarks: the group-file value format and the device images.
add_executable(bench_macro ${CMAKE_CURRENT_SOURCE_DIR}/macro_bench.cpp)
target_link_libraries(bench_macro PRIVATE quillet_core quillet_warnings benchmark::benchmark)
