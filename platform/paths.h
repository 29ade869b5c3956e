// File-name helpers. Reference files are named in several letter cases by
// different parts of the program ("SAO_YALE.DAT", "sao_yale.dat"); on a
// case-sensitive file system one helper finds the file whatever its case.
#pragma once

#include <string>

namespace platform {

// Joins a folder (with or without a trailing "/") and a file name.
std::string JoinPath(const std::string& folder, const std::string& name);

// The path of `name` inside `folder`: the exact name when such a file exists,
// else the first directory entry whose name matches ignoring ASCII case, else
// the exact (non-existing) path so that the caller's open fails normally.
std::string FindFileNoCase(const std::string& folder, const std::string& name);

// The current working folder, ending in "/".
std::string CurrentFolder();

// True when the path names an existing regular file / folder.
bool FileExists(const std::string& path);
bool FolderExists(const std::string& path);

// Writes `data` to `path` through a temporary file in the same folder and a
// rename, so that a failed write never leaves a damaged or half-written file
// in place of the old one. Returns false (old file untouched) on failure.
bool WriteFileAtomically(const std::string& path, const void* data, std::size_t size);

}  // namespace platform
