#include "app/globals.h"

std::string DataFolder;
std::string ProgramFolder;
