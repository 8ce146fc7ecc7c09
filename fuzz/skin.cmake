# The skin value cutter and the layout reader.
quillet_fuzz_target(skin skin_fuzz.cpp)
