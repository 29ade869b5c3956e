// Checks of message texts: a box or a reason that begins with a given text.
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace testing_support {

// Passes when `text` begins with `prefix`; on failure the message shows the
// whole text.
inline testing::AssertionResult StartsWith(const std::string& text, const std::string& prefix) {
  if (text.compare(0, prefix.size(), prefix) == 0) return testing::AssertionSuccess();
  return testing::AssertionFailure() << "\"" << text << "\"\ndoes not begin with\n\"" << prefix << "\"";
}

}  // namespace testing_support
