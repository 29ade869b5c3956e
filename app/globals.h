// Shell globals shared by every subsystem.
#pragma once

#include <string>

// Folder of the reference data files and folder of the program's own files
// ("Objects.sqlite"); both are the current folder at start and end in "/".
// DataFolder is empty until the main window's start-up sets it.
extern std::string DataFolder;
extern std::string ProgramFolder;
