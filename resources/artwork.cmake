# The editor's pictures: drawn at build time by tools/artwork, then compiled in as binary data.
# They are drawn again only when the generator (or the layout it shares with the editor) changes.

find_file(BRIMWELL_ENGRAVING_FONT DejaVuSans-Bold.ttf
    PATHS /usr/share/fonts/truetype/dejavu
    DOC "TrueType font for the panel's legends (Debian: fonts-dejavu-core)")
if(NOT BRIMWELL_ENGRAVING_FONT)
    message(FATAL_ERROR "DejaVuSans-Bold.ttf not found: install fonts-dejavu-core or set BRIMWELL_ENGRAVING_FONT")
endif()

juce_add_console_app(brimwell_artwork PRODUCT_NAME "brimwell_artwork")
target_sources(brimwell_artwork PRIVATE
    tools/artwork/Main.cpp
    tools/artwork/Background.cpp
    tools/artwork/Knobs.cpp
    tools/artwork/Controls.cpp)
target_include_directories(brimwell_artwork PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(brimwell_artwork PRIVATE juce::juce_graphics brimwell_juce_settings)

set(BRIMWELL_ARTWORK_DIR "${CMAKE_CURRENT_BINARY_DIR}/artwork")
set(BRIMWELL_PICTURE_FILES)
foreach(name background knob_drive knob_boost knob_drymix knob_intrim knob_outtrim knob_lowpass knob_highpass
        meter button_save button_delete button_previous button_next toggle_autogain toggle_ultra toggle_power)
    list(APPEND BRIMWELL_PICTURE_FILES "${BRIMWELL_ARTWORK_DIR}/${name}.png")
endforeach()

add_custom_command(OUTPUT ${BRIMWELL_PICTURE_FILES}
    COMMAND brimwell_artwork "${BRIMWELL_ARTWORK_DIR}" "${BRIMWELL_ENGRAVING_FONT}"
    DEPENDS brimwell_artwork "${BRIMWELL_ENGRAVING_FONT}"
    COMMENT "Drawing the editor's pictures"
    VERBATIM)

# juce_add_binary_data wants its files at configure time and re-encodes them only when its
# file list changes. Empty stand-ins satisfy the first (the generator, built later, is newer,
# so they are drawn over before use); for the second, the top-level CMakeLists.txt ties the
# encoding to the pictures and touches the encoded files, which the encoder leaves alone when
# their content is unchanged.
file(MAKE_DIRECTORY "${BRIMWELL_ARTWORK_DIR}")
foreach(picture ${BRIMWELL_PICTURE_FILES})
    if(NOT EXISTS "${picture}")
        file(TOUCH "${picture}")
    endif()
endforeach()

include(${CMAKE_CURRENT_LIST_DIR}/../tools/screenshot/screenshot.cmake)
