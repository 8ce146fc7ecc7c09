# Fuzz target for the macro value parser (group files and constMacro.dat).
quillet_fuzz_target(macro_value macro_value_fuzz.cpp)
