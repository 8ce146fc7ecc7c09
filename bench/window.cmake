# Main window benchmarks: paint per page with kept and with per-paint decoded pictures, start-up
# to first paint, resident memory, paints during an Apply of eight macro buttons, the processor
# time of the lighting page left open for 10 s per period.
add_executable(bench_window ${CMAKE_CURRENT_SOURCE_DIR}/window_bench.cpp)
target_link_libraries(bench_window PRIVATE quillet_gui quillet_sim_core quillet_warnings benchmark::benchmark)
target_compile_definitions(bench_window PRIVATE QUILLET_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
add_dependencies(bench_window quillet_skins quillet_const_macros)
