# libFuzzer targets of the device link: the report-descriptor parser, the input and status
# reports the host decodes, and the simulator's socket frames as the host decodes them.

# The parsers live in quillet_core: instrument it for coverage, or the fuzzer runs blind.
# Whatever else links it then needs the sanitizer runtimes, which also carry the coverage hooks.
target_compile_options(quillet_core PRIVATE -fsanitize=fuzzer-no-link,address,undefined)
target_link_options(quillet_core INTERFACE -fsanitize=address,undefined)

foreach(name report_descriptor input_report sim_frames)
  add_executable(fuzz_${name} ${CMAKE_CURRENT_LIST_DIR}/${name}_fuzz.cpp)
  target_compile_options(fuzz_${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_libraries(fuzz_${name} PRIVATE quillet_core quillet_warnings)
endforeach()
