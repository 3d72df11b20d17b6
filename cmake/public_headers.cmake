# The library's public headers, as programs that use it include them ("gfx/gfx.h",
# "platform/types.h"); the test controls and the screen's probe are not among them. Copied into the build tree's include/moxflic, which the library's
# targets offer their users while they are built, and installed to the same place.
set(MOXFLIC_PUBLIC_HEADERS
  gfx/gfx.h flic/flic.h flic/flic_writer.h pcx/pcx.h palette/palette.h
  platform/types.h platform/display.h platform/gdi.h platform/input.h platform/system.h
  platform/window.h platform/backend.h
  platform/common/screen.h platform/common/window_core.h platform/headless/headless.h)
set(MOXFLIC_PUBLIC_INCLUDE_DIR ${PROJECT_BINARY_DIR}/include/moxflic)
foreach(header ${MOXFLIC_PUBLIC_HEADERS})
  configure_file(${PROJECT_SOURCE_DIR}/${header} ${MOXFLIC_PUBLIC_INCLUDE_DIR}/${header} COPYONLY)
endforeach()
