// Shared set-up of the tests on built reference data: the data folder, the
// planet and Moon records, and the object database.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

// True when the reference data are present; otherwise the test skips (or
// fails under CI, where the sources are installed).
bool UseReferenceData();
