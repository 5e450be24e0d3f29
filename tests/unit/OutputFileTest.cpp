// Output files: whatever was there before, a closed output holds exactly the bytes written,
// including when nothing was written; serial-style rewrites in place end the same way.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "TempDir.h"
#include "platform/Platform.h"

namespace kelvo {
namespace {

using test::TempDir;

class OutputFileTest : public ::testing::Test {
 protected:
  TempDir directory_;
};

std::string Pattern(std::size_t size, char first) {
  std::string text(size, first);
  for (std::size_t i = 0; i < size; ++i) text[i] = static_cast<char>(first + i % 23);
  return text;
}

TEST_F(OutputFileTest, ClosedFileHoldsExactlyTheBytesWritten) {
  const std::size_t before[] = {0, 1, 7, 100000, 3000000};
  const std::size_t after[] = {0, 5, 100000};
  for (const bool existed : {false, true}) {
    for (const std::size_t old : before) {
      if (!existed && old > 0) continue;
      for (const std::size_t size : after) {
        SCOPED_TRACE(std::to_string(existed) + "/" + std::to_string(old) + "/" +
                     std::to_string(size));
        std::filesystem::remove("out.bin");
        if (existed) TempDir::Write("out.bin", Pattern(old, 'a'));
        const std::string bytes = Pattern(size, 'A');
        platform::OutputFile file;
        ASSERT_TRUE(file.Create(u"out.bin"));
        // Written in two pieces, as the converters write block by block.
        ASSERT_TRUE(file.Write(bytes.data(), static_cast<std::int64_t>(size / 2)));
        ASSERT_TRUE(
            file.Write(bytes.data() + size / 2, static_cast<std::int64_t>(size - size / 2)));
        ASSERT_TRUE(file.Close());
        EXPECT_EQ(TempDir::Read("out.bin"), bytes);
      }
    }
  }
}

TEST_F(OutputFileTest, FileLeftWithoutCloseEndsAfterTheBytesWritten) {
  // A run that stops half-way leaves its output to the destructor.
  TempDir::Write("out.bin", Pattern(50000, 'a'));
  {
    platform::OutputFile file;
    ASSERT_TRUE(file.Create(u"out.bin"));
    ASSERT_TRUE(file.Write("xyz", 3));
  }
  EXPECT_EQ(TempDir::Read("out.bin"), "xyz");
}

TEST_F(OutputFileTest, OverwriteFileReplacesTheWholeContent) {
  const std::string contents[] = {"", "7", "123456789012", "41"};
  for (const std::string& text : contents) {
    SCOPED_TRACE(text);
    bool opened = false;
    ASSERT_TRUE(platform::OverwriteFile(u"serial.txt", text.data(),
                                        static_cast<std::int64_t>(text.size()), opened));
    EXPECT_TRUE(opened);
    EXPECT_EQ(TempDir::Read("serial.txt"), text);
  }
}

}  // namespace
}  // namespace kelvo
