// Resolving the configured default table directory against the program's directory.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "platform/Platform.h"

namespace kelvo {
namespace {

struct DirectoryCase {
  const char* name;
  std::u16string configured;
  std::u16string program;
  char16_t separator;
  std::u16string expected;
};

void PrintTo(const DirectoryCase& c, std::ostream* out) {
  *out << c.name;
}

class ResolveDirectoryTest : public ::testing::TestWithParam<DirectoryCase> {};

TEST_P(ResolveDirectoryTest, Resolves) {
  const DirectoryCase& c = GetParam();
  EXPECT_EQ(platform::ResolveDirectory(c.configured, c.program, c.separator), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ResolveDirectoryTest,
    ::testing::Values(
        DirectoryCase{"InstalledDefault", u"../share/kelvo/", u"/opt/k/bin", u'/',
                      u"/opt/k/share/kelvo/"},
        DirectoryCase{"AbsoluteKept", u"/usr/share/kelvo/", u"/opt/k/bin", u'/',
                      u"/usr/share/kelvo/"},
        DirectoryCase{"AbsoluteTidied", u"/a/./b//../c", u"/x", u'/', u"/a/c/"},
        DirectoryCase{"DotsInProgramDirectory", u"../t/", u"/a/b/../bin", u'/', u"/a/t/"},
        DirectoryCase{"NothingAboveRoot", u"../../../t/", u"/bin", u'/', u"/t/"},
        DirectoryCase{"ProgramAtRoot", u"../t/", u"/", u'/', u"/t/"},
        DirectoryCase{"DownwardRelative", u"tables/", u"/a/bin", u'/', u"/a/bin/tables/"},
        DirectoryCase{"SameDirectory", u"./", u"/a/bin", u'/', u"/a/bin/"},
        DirectoryCase{"UnknownProgramKeepsRelative", u"../share/./kelvo/", u"", u'/',
                      u"../share/kelvo/"},
        DirectoryCase{"BackslashIsANameOnPosix", u"..\\t/", u"/a/bin", u'/', u"/a/bin/..\\t/"},
        DirectoryCase{"WindowsRelative", u"../share/kelvo/", u"C:\\Kelvo\\bin", u'\\',
                      u"C:\\Kelvo\\share\\kelvo\\"},
        DirectoryCase{"WindowsAbsoluteKept", u"C:\\Kelvo\\", u"D:\\x", u'\\', u"C:\\Kelvo\\"},
        DirectoryCase{"WindowsDriveRoot", u"..\\..\\t", u"Z:\\b", u'\\', u"Z:\\t\\"},
        DirectoryCase{"WindowsStepLikeADriveStaysRelative", u".\\c:t\\.", u"", u'\\', u".\\c:t\\"},
        DirectoryCase{"WindowsNetworkShare", u"..\\t\\", u"\\\\host\\share\\bin", u'\\',
                      u"\\\\host\\share\\t\\"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kelvo
