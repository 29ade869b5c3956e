// The imaging windows' text settings: a missing or empty element reads as
// the default (the XML routines give an empty text for a missing element
// whose parent exists).
#pragma once

#include <string>

#include "shell/xml_settings.h"

namespace imaging {

// The longest exposure a stored setting may hold, seconds (a day).
inline constexpr double kMaxExposureSeconds = 24 * 3600;

inline std::string ReadText(const platform::XmlElement& s, const std::string& name, const std::string& deflt) {
  const std::string v = XmlReadString(s, name, deflt);
  return v.empty() ? deflt : v;
}

}  // namespace imaging
