# The artwork: scripts/make-glyphs draws it reproducibly, and the raw pixels the program carries are
# the ones it draws. Runs the script, so it needs ImageMagick (scripts/install-deps) and bash: not
# in a Windows build, which carries the same pixels.
if(NOT WIN32)
    ventiro_add_test(NAME test_glyphs SOURCES test_glyphs.cpp LIBS ventiro_toolkit ventiro_resources ventiro_test_support OFFSCREEN
                     TIMEOUT 180)
    target_compile_definitions(test_glyphs PRIVATE VENTIRO_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
endif()
