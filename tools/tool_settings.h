// The settings-file slots of the tools: 6 atmosphere, 9 observer location,
// 10 chart date and time. The main window registers them at start.
#pragma once

void RegisterToolSettingsSections();
