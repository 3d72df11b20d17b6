// Contexts: the state block and the memory made for it, one current context a thread.
#include <atomic>
#include <memory>
#include <new>

#include "gfx/gfx.h"

thread_local constinit GfxContext* gfx_current_context = nullptr;

GfxContext::~GfxContext() {
  pal_free_reduction_cache(reductions);
  delete[] pcx_line_scratch;
  fdec_free_pair_map(pair_map);
}

namespace {

// The first thread's own context lives as long as the process, as the one state block
// did before there were contexts: what it holds at exit stays reachable, and code that
// runs after the thread's end (static destructors) still finds it.
std::atomic<GfxContext*> first_context{nullptr};

// A thread's own context, freed when the thread ends (but for the first).
struct ThreadContext {
  GfxContext* context = nullptr;
  ThreadContext() = default;
  ThreadContext(const ThreadContext&) = delete;
  ThreadContext& operator=(const ThreadContext&) = delete;
  ~ThreadContext() {
    if (context == nullptr || context == first_context.load()) return;
    if (gfx_current_context == context) gfx_current_context = nullptr;
    gfx_context_destroy(context);
  }
};

}  // namespace

GfxContext& gfx_thread_context() {
  thread_local ThreadContext own;
  if (own.context == nullptr) {
    own.context = new GfxContext;
    GfxContext* none = nullptr;
    first_context.compare_exchange_strong(none, own.context);
  }
  gfx_current_context = own.context;
  // The analyzer runs the thread's end (own's destructor) at this return.
  return *own.context;  // NOLINT(clang-analyzer-cplusplus.NewDelete)
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

void gfx_stop_when(const std::atomic<bool>* flag) { gfx_context().stop = flag; }

bool gfx_stopped() {
  const std::atomic<bool>* flag = gfx_context().stop;
  return flag != nullptr && flag->load(std::memory_order_relaxed);
}

GfxContext* gfx_context_current() { return &gfx_context(); }

void gfx_load_state() {
  // Made again in place, so that the stream address names this block's own buffer.
  std::construct_at(&gfx_state());
}
