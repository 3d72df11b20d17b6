// The library state block and its values at load.
#include <memory>

#include "gfx/gfx.h"

// Its load values are in place before any code runs, static constructors included.
constinit GfxState gfx_state{};

void gfx_load_state() {
  // Made again in place, so that the stream address names this block's own buffer.
  std::construct_at(&gfx_state);
}
