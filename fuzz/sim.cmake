# libFuzzer target of the simulated mouse: the firmware's walk of the macro images and the
# configuration it decodes from whatever its memory holds.
quillet_fuzz_target(sim_image sim_image_fuzz.cpp)
target_link_libraries(fuzz_sim_image PRIVATE quillet_sim_core)
