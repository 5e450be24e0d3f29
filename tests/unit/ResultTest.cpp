#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "platform/Result.h"

namespace kelvo::platform {
namespace {

// What a failure says to a person: the step, the path and, for a failed system call, the
// system's own words.
TEST(ResultTest, DescribesTheFailure) {
  struct Case {
    Result result;
    std::u16string expected;
  };
  const std::vector<Case> cases = {
      {Result::Ok(), u""},
      {Result::Failed(Step::Load, u"t.bin"), u"cannot load 't.bin'"},
      {Result::Failed(Step::Open, u"x.txt", ENOENT),
       u"cannot open 'x.txt': " + FromAnsi(SystemReason(ENOENT))},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.result.Describe(), c.expected) << ToAnsi(c.expected);
  }
  EXPECT_FALSE(SystemReason(ENOENT).empty());
}

}  // namespace
}  // namespace kelvo::platform
