#include "catalog/hooks.h"

namespace {
TCatalogHooks g_hooks;
}

void SetCatalogHooks(TCatalogHooks hooks) { g_hooks = std::move(hooks); }

const TCatalogHooks& CatalogHooks() { return g_hooks; }
