# The viewer's application shell and resources as a library, shared by the program and
# the headless command tests. Included from app/ and from tests/app/.
if(NOT TARGET moxflic_app)
  file(GLOB MOXFLIC_APP_SOURCES CONFIGURE_DEPENDS
    ${PROJECT_SOURCE_DIR}/app/*.cpp
    ${PROJECT_SOURCE_DIR}/resources/*.cpp)
  list(REMOVE_ITEM MOXFLIC_APP_SOURCES ${PROJECT_SOURCE_DIR}/app/main.cpp)
  add_library(moxflic_app STATIC ${MOXFLIC_APP_SOURCES})
  target_link_libraries(moxflic_app PRIVATE $<BUILD_INTERFACE:moxflic_warnings>)
  target_link_libraries(moxflic_app PUBLIC moxflic_gfx)
  target_compile_definitions(moxflic_app PRIVATE MOXFLIC_VERSION="${PROJECT_VERSION}")
endif()
