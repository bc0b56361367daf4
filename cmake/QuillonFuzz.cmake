# The libFuzzer targets, built by the fuzz preset (clang): `cmake --build --preset fuzz`
# builds the target quillon_fuzz, which is all three. Each target's body is also replayed
# over its kept corpus by the ordinary tests.

function(quillon_fuzz_target name source)
    add_executable(${name} ${PROJECT_SOURCE_DIR}/${source})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PRIVATE ${ARGN})
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
endfunction()

# The INI reader (kept corpus: tests/ini/corpus).
quillon_fuzz_target(fuzz_ini tests/ini/fuzz/ini_fuzz_main.cpp quillon_ini)
# The bin-file pin markers and the pin-set parser (tests/pins/corpus).
quillon_fuzz_target(fuzz_pins tests/pins/fuzz/pins_fuzz_main.cpp quillon_config)
# The virtual board's frame decoder (sim/fuzz/corpus).
quillon_fuzz_target(frame_decoder_fuzz sim/fuzz/frame_decoder_fuzz.cpp quillon_sim_replay)

add_custom_target(quillon_fuzz DEPENDS fuzz_ini fuzz_pins frame_decoder_fuzz)
