// Contexts: the state block and the memory made for it, one current context a thread.
#include <memory>
#include <new>

#include "gfx/gfx.h"

thread_local constinit GfxContext* gfx_current_context = nullptr;

GfxContext::~GfxContext() {
  pal_free_reduction_cache(reductions);
  delete[] pcx_line_scratch;
}

GfxContext& gfx_thread_context() {
  // Freed when the thread ends.
  thread_local std::unique_ptr<GfxContext> own;
  if (!own) own = std::make_unique<GfxContext>();
  gfx_current_context = own.get();
  return *own;
}

GfxContext* gfx_context_create() { return new (std::nothrow) GfxContext; }

void gfx_context_destroy(GfxContext* context) {
  if (context == nullptr) return;
  GfxContext* const before = gfx_current_context;
  gfx_current_context = context;
  gfx_finish();
  gfx_current_context = before == context ? nullptr : before;
  delete context;
}

void gfx_context_make_current(GfxContext* context) { gfx_current_context = context; }

GfxContext* gfx_context_current() { return &gfx_context(); }

void gfx_load_state() {
  // Made again in place, so that the stream address names this block's own buffer.
  std::construct_at(&gfx_state());
}
