// Registers the catalogues' settings-file blocks with the shell: slot 1
// (star options), slot 2 (deep-sky filter) and slot 3 (solar-system
// display switches). The main window calls it once at start.
#pragma once

void RegisterCatalogSettingsOwners();
