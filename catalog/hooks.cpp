#include "catalog/hooks.h"

namespace {
TCatalogHooks g_hooks;
}

void SetCatalogHooks(TCatalogHooks hooks) { g_hooks = std::move(hooks); }

const TCatalogHooks& CatalogHooks() { return g_hooks; }

void RunWhenCursorPaused(std::function<void()> work) {
  if (g_hooks.whenCursorPaused) g_hooks.whenCursorPaused(std::move(work));
  else work();
}
