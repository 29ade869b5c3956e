#include "tools/tool_settings.h"

#include "astro/observer.h"
#include "shell/settings_sections.h"
#include "tools/atmospheric.h"
#include "tools/clock_time.h"
#include "tools/location.h"

void RegisterToolSettingsSections() {
  RegisterSettingsSection(kAtmosphericSlot,
                          {kAtmosphericBlockBytes, [] { return EncodeAtmosphericBlock(ObserverTime); },
                           [](const std::vector<uint8_t>* b) { return ReadAtmosphericBlock(ObserverTime, b); }});
  RegisterSettingsSection(kLocationSlot,
                          {kLocationBlockBytes, [] { return GlobalLocation.WriteSettingsBlock(); },
                           [](const std::vector<uint8_t>* b) { return GlobalLocation.ReadSettingsBlock(b); }});
  RegisterSettingsSection(kClockTimeSlot,
                          {kClockTimeBlockBytes, [] { return EncodeClockTimeBlock(ObserverTime); },
                           [](const std::vector<uint8_t>* b) { return ReadClockTimeBlock(ObserverTime, b); }});
}
