#include "catalog/forms/settings_owners.h"

#include "catalog/forms/solar_system_form.h"
#include "catalog/object_options.h"
#include "catalog/star_options.h"
#include "shell/settings_sections.h"

void RegisterCatalogSettingsOwners() {
  RegisterSettingsSection(kStarOptionsSlot, {kStarOptionsBytes, StarOptionsBlock, ApplyStarOptionsBlock});
  RegisterSettingsSection(kObjectFilterSlot, {kObjectFilterBytes, ObjectFilterBlock, ApplyObjectFilterBlock});
  RegisterSettingsSection(kSolarSystemSlot, {std::size_t(kSolarSwitchCount), SolarSystemBlock, ApplySolarSystemBlock});
}
