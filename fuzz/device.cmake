# libFuzzer targets of the device link: the report-descriptor parser, the input and status
# reports the host decodes, and the simulator's socket frames as the host decodes them.
foreach(name report_descriptor input_report sim_frames)
  quillet_fuzz_target(${name} ${name}_fuzz.cpp)
endforeach()
