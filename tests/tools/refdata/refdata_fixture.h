// Shared set-up of the tests on built reference data: the data folder, the
// planet and Moon records, and the object database.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/support/test_support.h"

// True when the reference data are present (and loaded); a test passes it to
// NOCTRA_REQUIRE_REFERENCE_DATA, which skips without them (fails under CI).
bool UseReferenceData();
