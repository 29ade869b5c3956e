#include "catalog/forms/settings_owners.h"

#include "app/core/settings_sections.h"
#include "catalog/object_options.h"
#include "catalog/forms/solar_system_form.h"
#include "catalog/star_options.h"

void RegisterCatalogSettingsOwners() {
  RegisterSettingsSection(kStarOptionsSlot, {kStarOptionsBytes, StarOptionsBlock, ApplyStarOptionsBlock});
  RegisterSettingsSection(kObjectFilterSlot, {kObjectFilterBytes, ObjectFilterBlock, ApplyObjectFilterBlock});
  RegisterSettingsSection(kSolarSystemSlot, {std::size_t(kSolarSwitchCount), SolarSystemBlock, ApplySolarSystemBlock});
}
