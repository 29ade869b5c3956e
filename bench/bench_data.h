// The reference-data folder the benchmarks read: NOCTRA_REFDATA when set,
// else the working folder that run.sh builds the data into
// (NOCTRA_HOME, or $XDG_DATA_HOME/noctra, or ~/.local/share/noctra).
// Always ends in "/".
#pragma once

#include <cstdlib>
#include <string>

inline std::string BenchDataFolder() {
  auto env = [](const char* name) -> std::string {
    const char* v = std::getenv(name);
    return v && *v ? std::string(v) : std::string();
  };
  std::string folder = env("NOCTRA_REFDATA");
  if (folder.empty()) folder = env("NOCTRA_HOME");
  if (folder.empty() && !env("XDG_DATA_HOME").empty()) folder = env("XDG_DATA_HOME") + "/noctra";
  if (folder.empty()) folder = env("HOME") + "/.local/share/noctra";
  if (folder.back() != '/') folder += '/';
  return folder;
}
