// The pump on threads against the pump on one thread: with tiny blocks, a tiny ring and
// blocks cut into parts, every kernel must give the same bytes in the same writes, and a read
// or write that fails must end the run as it ends on one thread.
#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "EucTestTable.h"
#include "ForwardTableFixture.h"
#include "convert/EucDecoder.h"
#include "convert/RuralUTF16.h"
#include "convert/StreamPump.h"
#include "convert/Utf16Encoder.h"
#include "fields/SelectField.h"

namespace kelvo {
namespace {

enum class Kind { Encoder, ToUtf16, ToShiftJis, Fields };

// What a run of the pump did: its outcome and the bytes of each write, in order.
struct Result {
  PumpOutcome outcome;
  std::vector<std::string> writes;
  std::string Joined() const {
    std::string all;
    for (const std::string& w : writes) all += w;
    return all;
  }
};

class PumpTest : public test::ForwardTableFixture {
 protected:
  void SetUp() override {
    test::ForwardTableFixture::SetUp();
    forward_ = std::make_unique<PastoralSceneUTF16>(kTamorlek.forward.lists);
    ASSERT_TRUE(
        forward_
            ->LoadTableAndList(SearchTable{}, kTamorlek.engine.table, SurrogateList::Replacements)
            .table);
    ASSERT_TRUE(reverse_.Allocate());
    std::string records;
    for (int b = 0x20; b < 0x7F; ++b) records += test::SingleRecord(b, b);
    records += test::PairRecord(0xA4, 0xA2, 0x42, 0x30) + test::OneByteRecord(0x8E, 0xB1, 0xB1);
    reverse_.StoreRecords(reinterpret_cast<const std::uint8_t*>(records.data()),
                          static_cast<std::int64_t>(records.size()));
  }

  // A new kernel of the kind, as a conversion makes it.
  std::unique_ptr<BlockKernel> MakeKernel(Kind kind) {
    const LineEndMode mode = LineEndMode::AsRead;
    switch (kind) {
      case Kind::Encoder: {
        auto encoder = std::make_unique<Utf16Encoder>();
        EXPECT_TRUE(encoder->Build(*forward_, {.lineEnds = LineEndMode::CrLf}));
        return encoder;
      }
      case Kind::ToUtf16:
        return std::make_unique<EucDecoder>(reverse_, kUtf16Output, mode, Controls::Kept);
      case Kind::ToShiftJis:
        return std::make_unique<EucDecoder>(reverse_, kShiftJisOutput, LineEndMode::CrLf,
                                            Controls::Removed);
      case Kind::Fields:
        break;
    }
    selectionEncoder_ = std::make_unique<Utf16Encoder>();
    EXPECT_TRUE(selectionEncoder_->Build(
        *forward_, {.oneByteControls = Controls::Removed, .marked = FieldSelection::kMarked}));
    return std::make_unique<FieldSelection>(*selectionEncoder_, 2);
  }

  // Runs the pump over input in blocks of block bytes; reads from the failRead-th on and the
  // failWrite-th write fail (counted from 0; -1 for none).
  Result Run(Kind kind, const std::string& input, bool stream, std::int64_t block,
             const PumpThreads& threads, bool parts, int failRead = -1, int failWrite = -1) {
    const bool wide = kind == Kind::Encoder || kind == Kind::Fields;
    StreamPump pump;
    pump.SetThreads(threads);
    EXPECT_TRUE(pump.AllocateInput(block, 2));
    const std::int64_t room = wide ? block + 6 : EucDecoder::Capacity(kUtf16Output, block + 2);
    EXPECT_TRUE(pump.AllocateOutput(room));
    std::unique_ptr<BlockKernel> kernel = MakeKernel(kind);
    std::vector<std::unique_ptr<BlockKernel>> partKernels;
    if (parts) {
      pump.SetParts({.kernel =
                         [&](int) {
                           partKernels.push_back(MakeKernel(kind));
                           return partKernels.back().get();
                         },
                     .cut = wide ? CutBeforeLeadingUnit : CutAfterSingleByte,
                     .perByte = wide ? 1 : 4,
                     .fixed = wide ? 2 : EucDecoder::Capacity(kUtf16Output, 0)});
    }
    std::size_t at = 0;
    int reads = 0;
    Result result{PumpOutcome::Written, {}};
    const PumpEnds ends{
        .read = [&](std::uint8_t* buffer, std::int64_t count) -> std::optional<std::int64_t> {
          if (reads++ >= failRead && failRead >= 0) return std::nullopt;
          const std::size_t n =
              std::min<std::size_t>(static_cast<std::size_t>(count), input.size() - at);
          std::copy_n(input.data() + at, n, buffer);
          at += n;
          return static_cast<std::int64_t>(n);
        },
        .write =
            [&](const std::uint8_t* bytes, std::int64_t count) {
              if (static_cast<int>(result.writes.size()) == failWrite) return BlockWrite::Failed;
              result.writes.emplace_back(reinterpret_cast<const char*>(bytes),
                                         static_cast<std::size_t>(count));
              return BlockWrite::Done;
            },
    };
    const std::int64_t remaining =
        stream ? std::numeric_limits<std::int64_t>::max() : static_cast<std::int64_t>(input.size());
    const std::string_view prefix = kind == Kind::ToUtf16 ? "\xFF\xFE" : "";
    result.outcome = pump.Pump(ends, *kernel, wide ? 2 : 1, remaining, wide ? 2 : 0, prefix);
    return result;
  }

  // Text of every kind of unit or sequence the kernels treat apart, line ends at block edges
  // included; UTF-16 with a byte-order mark.
  static std::string Text(Kind kind, std::size_t size) {
    std::mt19937 random(7);
    std::string text;
    if (kind == Kind::Encoder || kind == Kind::Fields) {
      const std::u16string pieces[] = {
          u"plain text",   u"\r\n",         u"\r",     u",\"a,b\",", u"\"\"",
          u"\x3042\x6F22", u"\xD85F\xDDA0", u"\xD85F", u"\xDC00",    u"\t\x7F"};
      std::u16string units = u"\xFEFF";
      while (units.size() * 2 < size) units += pieces[random() % std::size(pieces)];
      return test::Utf16(units, false);
    }
    const std::string pieces[] = {"plain text",
                                  "\r\n",
                                  "\r",
                                  "\n",
                                  "\xA4\xA2",
                                  "\xA4",
                                  "\x8E\xB1",
                                  "\x8F\xA2\xB7",
                                  "\x8F\x41",
                                  "\xFF",
                                  "\xA4\xA2\xA4\xA2\xA4\xA2\xA4\xA2"};
    while (text.size() < size) text += pieces[random() % std::size(pieces)];
    return text;
  }

  std::unique_ptr<PastoralSceneUTF16> forward_;
  std::unique_ptr<Utf16Encoder> selectionEncoder_;
  RuralAreaUTF16 reverse_;
};

constexpr PumpThreads kAlone{.ring = 0};

TEST_F(PumpTest, ThreadsGiveTheBytesAndWritesOfOneThread) {
  struct Case {
    const char* name;
    Kind kind;
    bool stream;
    std::int64_t block;
    PumpThreads threads;
    bool parts;
  };
  const Case cases[] = {
      {"encoder, file, ring of 2", Kind::Encoder, false, 8, {.processors = 2, .ring = 2}, false},
      {"encoder, stream, parts",
       Kind::Encoder,
       true,
       64,
       {.processors = 4, .ring = 3, .smallestPart = 4},
       true},
      {"to UTF-16, file, parts",
       Kind::ToUtf16,
       false,
       61,
       {.processors = 3, .ring = 2, .smallestPart = 3},
       true},
      {"to UTF-16, stream, blocks of 1",
       Kind::ToUtf16,
       true,
       1,
       {.processors = 2, .ring = 2},
       false},
      {"to Shift_JIS, stream, parts",
       Kind::ToShiftJis,
       true,
       40,
       {.processors = 3, .ring = 4, .smallestPart = 1},
       true},
      {"field selection, file", Kind::Fields, false, 6, {.processors = 2, .ring = 2}, false},
      {"field selection, large ring", Kind::Fields, true, 30, {.processors = 8, .ring = 9}, false},
  };
  for (const Case& c : cases) {
    for (const std::size_t size : {std::size_t{0}, std::size_t{5}, std::size_t{3000}}) {
      const std::string input = Text(c.kind, size);
      const Result alone = Run(c.kind, input, c.stream, c.block, kAlone, false);
      const Result threaded = Run(c.kind, input, c.stream, c.block, c.threads, c.parts);
      EXPECT_EQ(threaded.outcome, alone.outcome) << c.name << ", " << size;
      EXPECT_EQ(threaded.Joined(), alone.Joined()) << c.name << ", " << size;
      // Parts of a block are written apart; a block whole is one write, as on one thread.
      if (!c.parts) {
        EXPECT_EQ(threaded.writes, alone.writes) << c.name << ", " << size;
      }
    }
  }
}

TEST_F(PumpTest, FailuresEndTheRunAsOnOneThread) {
  struct Case {
    const char* name;
    int failRead;
    int failWrite;
    PumpOutcome outcome;
  };
  const Case cases[] = {
      {"first read", 0, -1, PumpOutcome::ReadFailed},
      {"a later read", 5, -1, PumpOutcome::ReadFailed},
      {"first write", -1, 0, PumpOutcome::WriteFailed},
      {"a later write", -1, 7, PumpOutcome::WriteFailed},
      {"a write before a failed read", 9, 4, PumpOutcome::WriteFailed},
      {"a read before a failed write", 3, 6, PumpOutcome::ReadFailed},
  };
  const std::string input = Text(Kind::ToUtf16, 2000);
  for (const Case& c : cases) {
    for (const bool parts : {false, true}) {
      // Parts make more writes: which of two failures comes first then differs.
      if (parts && c.failRead >= 0 && c.failWrite >= 0) continue;
      const PumpThreads threads{.processors = 3, .ring = 2, .smallestPart = 8};
      const Result alone =
          Run(Kind::ToUtf16, input, false, 50, kAlone, false, c.failRead, c.failWrite);
      const Result threaded =
          Run(Kind::ToUtf16, input, false, 50, threads, parts, c.failRead, c.failWrite);
      EXPECT_EQ(alone.outcome, c.outcome) << c.name;
      EXPECT_EQ(threaded.outcome, c.outcome) << c.name << (parts ? ", parts" : "");
      if (!parts) {
        EXPECT_EQ(threaded.writes, alone.writes) << c.name;
      }
    }
  }
}

}  // namespace
}  // namespace kelvo
