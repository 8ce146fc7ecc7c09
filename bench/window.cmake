# Main window benchmarks: paint per page with kept and with per-paint decoded pictures, start-up
# to first paint, resident memory, paints during an Apply of eight macro buttons, the processor
# time of the lighting page left open for 10 s per period.
add_executable(bench_window ${CMAKE_CURRENT_SOURCE_DIR}/window_bench.cpp)
target_link_libraries(bench_window PRIVATE quillet_gui quillet_sim_core quillet_warnings benchmark::benchmark)
target_compile_definitions(bench_window PRIVATE QUILLET_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
add_dependencies(bench_window quillet_skins quillet_const_macros)

# Start-up as whole processes, from exec to the first paint: the utility (survey answered, the
# simulated mouse) against a bare Qt 6 program showing the same main picture, with both resident
# sizes a second later. Needs an X display, or Xvfb to start one.
add_executable(bench_bare_window ${CMAKE_CURRENT_SOURCE_DIR}/bare_window.cpp)
target_link_libraries(bench_bare_window PRIVATE Qt6::Widgets quillet_warnings)
add_executable(bench_startup ${CMAKE_CURRENT_SOURCE_DIR}/startup_bench.cpp)
target_link_libraries(bench_startup PRIVATE quillet_core quillet_warnings)
target_compile_definitions(bench_startup PRIVATE QUILLET_BIN_DIR="${CMAKE_BINARY_DIR}/bin"
  BENCH_BARE_WINDOW="$<TARGET_FILE:bench_bare_window>")
add_dependencies(bench_startup bench_bare_window quillet quillet_skins quillet_const_macros)

# The first paint of each page and of each kind of popup, the first time it is shown.
add_executable(bench_first_paint ${CMAKE_CURRENT_SOURCE_DIR}/first_paint_bench.cpp)
target_link_libraries(bench_first_paint PRIVATE quillet_gui quillet_warnings benchmark::benchmark)
target_compile_definitions(bench_first_paint PRIVATE QUILLET_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
add_dependencies(bench_first_paint quillet_skins quillet_const_macros)
