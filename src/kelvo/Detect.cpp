// The encoding of a file from its bytes alone. Every candidate encoding reads the bytes at
// once, each through its own small decoder that keeps only its state between blocks: whether
// the bytes so far are valid in it, the plausibility of what they decode to, and its line ends.
#include "kelvo/Detect.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <initializer_list>

#include "convert/AsciiRuns.h"
#include "kelvo/DetectScore.h"

namespace kelvo::detect {
namespace {

using transcode::Encoding;

// The score by which the most plausible reading must lead the next one to be chosen.
constexpr std::int64_t kClearMargin = 30;
// A reading as UTF-16 without a byte-order mark and without zero bytes must reach this.
constexpr std::int64_t kUtf16WithoutZeros = 30;
// A reading as UTF-16 that falls this low is no longer followed: text in UTF-16 never
// gathers so many unlikely characters, and bytes of other encodings read as UTF-16 rarely
// break its few rules, so without the floor both readings would run to the end of the file.
constexpr std::int64_t kImplausibleUtf16 = -1000;

struct LineCount {
  std::uint64_t crlf = 0;
  std::uint64_t lf = 0;
  std::uint64_t cr = 0;
  bool afterCr = false;

  void Unit(char32_t unit) {
    if (unit == U'\n') {
      ++(afterCr ? crlf : lf);
      if (afterCr) {
        --cr;
      }
    }
    afterCr = unit == U'\r';
    if (afterCr) {
      ++cr;
    }
  }

  LineEnds Kind() const {
    const int kinds = (crlf != 0) + (lf != 0) + (cr != 0);
    if (kinds == 0) return LineEnds::None;
    if (kinds > 1) return LineEnds::Mixed;
    return crlf != 0 ? LineEnds::CrLf : lf != 0 ? LineEnds::Lf : LineEnds::Cr;
  }
};

// What every reading keeps: whether it is still valid and the score of its characters.
struct Reading {
  bool valid = true;
  std::int64_t score = 0;
  std::uint8_t halfKana = 0;  // the half-width katakana just read, or 0

  void Add(Kind kind) {
    if (kind == Kind::Unassigned) {
      valid = false;
    }
    score += ScoreOfKind(kind);
    halfKana = 0;
  }
  void AddHalfKana(std::uint8_t code, int extra) {
    score += ScoreOfHalfKana(code, halfKana) + extra;
    halfKana = code;
  }
  void AddAscii() { halfKana = 0; }
};

class ShiftJisReading : public Reading {
 public:
  void Byte(std::uint8_t b) {
    if (lead_ != 0) {
      Add(KindOfShiftJis(lead_, b));
      lead_ = 0;
    } else if (b < 0x80) {
      AddAscii();
    } else if (b >= 0xA1 && b <= 0xDF) {
      AddHalfKana(b, 0);
    } else if ((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC)) {
      lead_ = b;
    } else {
      valid = false;
    }
  }
  void End() { valid = valid && lead_ == 0; }
  bool AtRest() const { return lead_ == 0; }

 private:
  std::uint8_t lead_ = 0;
};

class EucJpReading : public Reading {
 public:
  void Byte(std::uint8_t b) {
    const bool high = b >= 0xA1 && b <= 0xFE;
    switch (state_) {
      case State::Ground:
        if (b < 0x80) {
          AddAscii();
        } else if (high) {
          lead_ = b;
          state_ = State::Trail;
        } else if (b == 0x8E) {
          state_ = State::HalfKana;
        } else if (b == 0x8F) {
          state_ = State::ThreeByteSecond;
        } else {
          valid = false;
        }
        return;
      case State::Trail:
        Add(high ? KindOfEucJp(lead_, b) : Kind::Unassigned);
        break;
      case State::HalfKana:
        if (b >= 0xA1 && b <= 0xDF) {
          // Two bytes per kana: a run of them is firmer evidence than one byte each.
          AddHalfKana(b, 15);
        } else {
          valid = false;
        }
        break;
      case State::ThreeByteSecond:
        valid = valid && high;
        state_ = State::ThreeByteThird;
        return;
      case State::ThreeByteThird:
        Add(high ? Kind::Supplementary : Kind::Unassigned);
        break;
    }
    state_ = State::Ground;
  }
  void End() { valid = valid && state_ == State::Ground; }
  bool AtRest() const { return state_ == State::Ground; }

 private:
  enum class State : std::uint8_t { Ground, Trail, HalfKana, ThreeByteSecond, ThreeByteThird };
  State state_ = State::Ground;
  std::uint8_t lead_ = 0;
};

// Code points decoded from UTF-8 or UTF-16, half-width katakana in their context.
void AddCodePoint(Reading& reading, char32_t code, int extra) {
  if (code >= 0xFF61 && code <= 0xFF9F) {
    reading.AddHalfKana(static_cast<std::uint8_t>(code - 0xFF61 + 0xA1), extra);
    return;
  }
  reading.score += ScoreOfCodePoint(code) + extra;
  reading.halfKana = 0;
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
class Utf8Reading : public Reading {
 public:
  void Byte(std::uint8_t b) {
    if (needed_ == 0) {
      if (b < 0x80) {
        AddAscii();
        return;
      }
      low_ = 0x80;
      high_ = 0xBF;
      if (b >= 0xC2 && b <= 0xDF) {
        Start(b & 0x1F, 1);
      } else if (b >= 0xE0 && b <= 0xEF) {
        Start(b & 0x0F, 2);
        low_ = b == 0xE0 ? 0xA0 : 0x80;
        high_ = b == 0xED ? 0x9F : 0xBF;
      } else if (b >= 0xF0 && b <= 0xF4) {
        Start(b & 0x07, 3);
        low_ = b == 0xF0 ? 0x90 : 0x80;
        high_ = b == 0xF4 ? 0x8F : 0xBF;
      } else {
        valid = false;
      }
      return;
    }
    if (b < low_ || b > high_) {
      valid = false;
      needed_ = 0;
      return;
    }
    low_ = 0x80;
    high_ = 0xBF;
    code_ = code_ << 6 | (b & 0x3F);
    if (--needed_ == 0) {
      // A whole sequence is itself evidence: bytes of other encodings rarely fall into that
      // shape, and sequences of three or four bytes more rarely still.
      AddCodePoint(*this, code_, length_ >= 3 ? 25 : 15);
    }
  }
  void End() { valid = valid && needed_ == 0; }
  bool AtRest() const { return needed_ == 0; }

 private:
  void Start(char32_t bits, int more) {
    code_ = bits;
    needed_ = more;
    length_ = more + 1;
  }
  char32_t code_ = 0;
  int needed_ = 0;
  int length_ = 0;
  std::uint8_t low_ = 0x80;
  std::uint8_t high_ = 0xBF;
};

// UTF-16 of one byte order. Only text is valid: no zero units, no controls but tab, line
// feed, form feed and carriage return, no lone surrogates, no noncharacters U+FFFE/U+FFFF.
class Utf16Reading : public Reading {
 public:
  explicit Utf16Reading(bool bigEndian) : bigEndian_(bigEndian) {}

  void Byte(std::uint8_t b) {
    if (!odd_) {
      first_ = b;
      odd_ = true;
      return;
    }
    odd_ = false;
    const std::uint8_t lowByte = bigEndian_ ? b : first_;
    const std::uint8_t highByte = bigEndian_ ? first_ : b;
    Unit(static_cast<char32_t>(highByte << 8 | lowByte), first_, b);
  }
  // Two bytes that make one unit, when no byte of a unit is pending.
  void Pair(std::uint8_t first, std::uint8_t second) {
    Unit(bigEndian_ ? static_cast<char32_t>(first << 8 | second)
                    : static_cast<char32_t>(second << 8 | first),
         first, second);
  }
  void End() { valid = valid && !odd_ && surrogate_ == 0; }
  // Between units, on an even offset, where a run of printable ASCII pairs changes nothing.
  bool AtRest() const { return !odd_ && surrogate_ == 0; }
  // Read on only while it may still be chosen, or for its line ends after its mark.
  bool Live() const { return valid || keepLines; }

  // After its mark only the line ends count: the whole units at p are taken for them alone.
  // Returns how many bytes were taken.
  std::size_t LinesOnly(const std::uint8_t* p, std::size_t n) {
    if (odd_ || surrogate_ != 0) {
      return 0;
    }
    const std::size_t whole = n & ~std::size_t{1};
    const int high = bigEndian_ ? 0 : 1;
    for (std::size_t i = 0; i < whole; i += 2) {
      if (p[i + high] == 0 && (p[i + 1 - high] == '\n' || p[i + 1 - high] == '\r')) {
        lines.Unit(p[i + 1 - high]);
      } else {
        lines.afterCr = false;
      }
    }
    return whole;
  }

  LineCount lines;
  bool keepLines = false;

 private:
  void Unit(char32_t unit, std::uint8_t first, std::uint8_t second) {
    lines.Unit(unit);
    if (surrogate_ != 0) {
      if (unit < 0xDC00 || unit > 0xDFFF) {
        valid = false;
      }
      AddCodePoint(*this, 0x10000 + ((surrogate_ - 0xD800) << 10) + (unit - 0xDC00), 0);
      surrogate_ = 0;
      return;
    }
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      surrogate_ = unit;
      return;
    }
    const bool control =
        (unit < 0x20 && unit != U'\t' && unit != U'\n' && unit != U'\f' && unit != U'\r') ||
        (unit >= 0x7F && unit < 0xA0);
    if (control || (unit >= 0xDC00 && unit <= 0xDFFF) || unit >= 0xFFFE) {
      valid = false;
      return;
    }
    const auto printable = [](std::uint8_t c) { return c >= 0x20 && c <= 0x7E; };
    if (printable(first) && printable(second)) {
      // Two printable ASCII bytes: what any ASCII text gives, no evidence for UTF-16.
      halfKana = 0;
      return;
    }
    AddCodePoint(*this, unit, 0);
    if (score < kImplausibleUtf16) {
      valid = false;
    }
  }

  bool bigEndian_;
  bool odd_ = false;
  std::uint8_t first_ = 0;
  char32_t surrogate_ = 0;
};

// When one reading alone is left, only its validity matters: these measure the run of
// printable ASCII and whole, valid sequences at the start of the bytes, without scoring.
std::size_t ValidShiftJisRun(const std::uint8_t* p, std::size_t n) {
  std::size_t i = 0;
  while (i < n) {
    const std::uint8_t b = p[i];
    if ((b >= 0x20 && b <= 0x7E) || (b >= 0xA1 && b <= 0xDF)) {
      ++i;
    } else if (i + 1 < n && KindOfShiftJis(b, p[i + 1]) != Kind::Unassigned) {
      i += 2;
    } else {
      break;
    }
  }
  return i;
}

std::size_t ValidEucJpRun(const std::uint8_t* p, std::size_t n) {
  const auto high = [](std::uint8_t b) { return b >= 0xA1 && b <= 0xFE; };
  std::size_t i = 0;
  while (i < n) {
    const std::uint8_t b = p[i];
    if (b >= 0x20 && b <= 0x7E) {
      ++i;
    } else if (high(b) && i + 1 < n && high(p[i + 1]) &&
               KindOfEucJp(b, p[i + 1]) != Kind::Unassigned) {
      i += 2;
    } else if (b == 0x8E && i + 1 < n && p[i + 1] >= 0xA1 && p[i + 1] <= 0xDF) {
      i += 2;
    } else if (b == 0x8F && i + 2 < n && high(p[i + 1]) && high(p[i + 2])) {
      i += 3;
    } else {
      break;
    }
  }
  return i;
}

std::size_t ValidUtf8Run(const std::uint8_t* p, std::size_t n) {
  const auto tail = [](std::uint8_t b) { return (b & 0xC0) == 0x80; };
  std::size_t i = 0;
  while (i < n) {
    const std::uint8_t b = p[i];
    if (b >= 0x20 && b <= 0x7E) {
      ++i;
    } else if (b >= 0xC2 && b <= 0xDF && i + 1 < n && tail(p[i + 1])) {
      i += 2;
    } else if (b >= 0xE0 && b <= 0xEF && i + 2 < n && tail(p[i + 1]) && tail(p[i + 2]) &&
               !(b == 0xE0 && p[i + 1] < 0xA0) && !(b == 0xED && p[i + 1] > 0x9F)) {
      i += 3;
    } else if (b >= 0xF0 && b <= 0xF4 && i + 3 < n && tail(p[i + 1]) && tail(p[i + 2]) &&
               tail(p[i + 3]) && !(b == 0xF0 && p[i + 1] < 0x90) &&
               !(b == 0xF4 && p[i + 1] > 0x8F)) {
      i += 4;
    } else {
      break;
    }
  }
  return i;
}

struct Scored {
  Encoding encoding;
  std::int64_t score;
};

std::string ScoreText(std::int64_t score) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", static_cast<double>(score) / 10.0);
  return text;
}

}  // namespace

struct Detector::State {
  std::uint64_t size = 0;
  std::array<std::uint8_t, 3> head{};
  bool zero = false;  // a NUL byte
  bool high = false;  // a byte of 80h or above
  LineCount byteLines;
  Utf8Reading utf8;
  EucJpReading eucJp;
  ShiftJisReading shiftJis;
  Utf16Reading utf16LE{false};
  Utf16Reading utf16BE{true};

  void Byte(std::uint8_t b) {
    if (size < head.size()) {
      head[size] = b;
      if (size == 1) {
        utf16LE.keepLines = head[0] == 0xFF && b == 0xFE;
        utf16BE.keepLines = head[0] == 0xFE && b == 0xFF;
      }
      if (size == 2 && head[0] == 0xEF && head[1] == 0xBB && b == 0xBF) {
        utf16LE.valid = utf16BE.valid = false;  // the mark decides; only line ends remain
      }
    }
    ++size;
    if (b == 0 || utf16LE.keepLines || utf16BE.keepLines) {
      // A zero byte or a UTF-16 mark leaves only UTF-16 in the running.
      zero = zero || b == 0;
      utf8.valid = eucJp.valid = shiftJis.valid = false;
    }
    high = high || b >= 0x80;
    byteLines.Unit(b);
    if (utf8.valid) utf8.Byte(b);
    if (eucJp.valid) eucJp.Byte(b);
    if (shiftJis.valid) shiftJis.Byte(b);
    if (utf16LE.Live()) utf16LE.Byte(b);
    if (utf16BE.Live()) utf16BE.Byte(b);
  }

  // With a UTF-16 mark, the units that follow it are only counted for their line ends.
  std::size_t MarkedUtf16Run(const std::uint8_t* p, std::size_t n) {
    if (size < 2 || !(utf16LE.keepLines || utf16BE.keepLines)) {
      return 0;
    }
    const std::size_t run = (utf16LE.keepLines ? utf16LE : utf16BE).LinesOnly(p, n);
    size += run;
    return run;
  }

  // Once only the readings as UTF-16 are left, the bytes go to them a unit at a time.
  std::size_t Utf16Run(const std::uint8_t* p, std::size_t n) {
    if (size < head.size() || size % 2 != 0 || utf8.valid || eucJp.valid || shiftJis.valid ||
        utf16LE.keepLines || utf16BE.keepLines || !(utf16LE.Live() || utf16BE.Live())) {
      return 0;
    }
    const std::size_t whole = n & ~std::size_t{1};
    for (std::size_t i = 0; i < whole; i += 2) {
      const std::uint8_t first = p[i];
      const std::uint8_t second = p[i + 1];
      zero = zero || first == 0 || second == 0;
      high = high || first >= 0x80 || second >= 0x80;
      byteLines.Unit(first);
      byteLines.Unit(second);
      if (utf16LE.Live()) utf16LE.Pair(first, second);
      if (utf16BE.Live()) utf16BE.Pair(first, second);
    }
    size += whole;
    return whole;
  }

  // The run that the one reading left takes at once, or 0 when several are left or the one
  // left is inside a sequence.
  std::size_t SoleRun(const std::uint8_t* p, std::size_t n) {
    if (size < head.size() || utf16LE.Live() || utf16BE.Live() ||
        utf8.valid + eucJp.valid + shiftJis.valid != 1) {
      return 0;
    }
    std::size_t run = 0;
    if (utf8.valid && utf8.AtRest()) run = ValidUtf8Run(p, n);
    if (eucJp.valid && eucJp.AtRest()) run = ValidEucJpRun(p, n);
    if (shiftJis.valid && shiftJis.AtRest()) run = ValidShiftJisRun(p, n);
    size += run;
    if (run != 0) {
      byteLines.afterCr = false;
      high = high || std::any_of(p, p + run, [](std::uint8_t b) { return b >= 0x80; });
    }
    return run;
  }

  // Whether a run of printable ASCII may be taken at once: every reading still followed is
  // between characters, and the readings as UTF-16 are on a unit boundary.
  bool AtRest() const {
    return size >= head.size() && (!utf8.valid || utf8.AtRest()) &&
           (!eucJp.valid || eucJp.AtRest()) && (!shiftJis.valid || shiftJis.AtRest()) &&
           (!utf16LE.Live() || utf16LE.AtRest()) && (!utf16BE.Live() || utf16BE.AtRest());
  }

  // An even number of printable ASCII bytes: no line end, nothing invalid, no score in any
  // reading (a pair of them as a UTF-16 unit scores nothing either); only what follows a
  // half-width kana or a carriage return changes.
  void PrintableRun(std::size_t count) {
    size += count;
    byteLines.afterCr = false;
    utf16LE.lines.afterCr = false;
    utf16BE.lines.afterCr = false;
    for (Reading* reading :
         std::initializer_list<Reading*>{&utf8, &eucJp, &shiftJis, &utf16LE, &utf16BE}) {
      reading->AddAscii();
    }
  }
};

Detector::Detector() : state_(std::make_unique<State>()) {}
Detector::~Detector() = default;

void Detector::Feed(std::span<const std::uint8_t> block) {
  State& s = *state_;
  const std::uint8_t* p = block.data();
  const std::size_t n = block.size();
  std::size_t i = 0;
  std::uint8_t scratch[16];
  while (i < n) {
    if (const std::size_t run = s.MarkedUtf16Run(p + i, n - i); run != 0) {
      i += run;
      continue;
    }
    if (const std::size_t run = s.Utf16Run(p + i, n - i); run != 0) {
      i += run;
      continue;
    }
    if (p[i] >= 0x20 && p[i] != 0x7F) {
      if (const std::size_t run = s.SoleRun(p + i, n - i); run != 0) {
        i += run;
        continue;
      }
    }
    if (p[i] >= 0x20 && p[i] <= 0x7E && n - i >= 16 && s.AtRest()) {
      const std::size_t run =
          static_cast<std::size_t>(ascii::CopyPrintableBytes(p + i, scratch, false)) &
          ~std::size_t{1};
      if (run != 0) {
        s.PrintableRun(run);
        i += run;
        continue;
      }
    }
    s.Byte(p[i++]);
  }
}

Detection Detector::Finish() {
  State& s = *state_;
  s.utf8.End();
  s.eucJp.End();
  s.shiftJis.End();
  s.utf16LE.End();
  s.utf16BE.End();

  Detection d;
  d.lineEnds = s.byteLines.Kind();
  const auto known = [&d](Encoding encoding) {
    d.verdict = Verdict::Known;
    d.encoding = encoding;
    return d;
  };
  if (s.size >= 2 && s.head[0] == 0xFF && s.head[1] == 0xFE) {
    d.bom = true;
    d.lineEnds = s.utf16LE.lines.Kind();
    return known(Encoding::Utf16LE);
  }
  if (s.size >= 2 && s.head[0] == 0xFE && s.head[1] == 0xFF) {
    d.bom = true;
    d.lineEnds = s.utf16BE.lines.Kind();
    return known(Encoding::Utf16BE);
  }
  const bool utf8Mark = s.size >= 3 && s.head[0] == 0xEF && s.head[1] == 0xBB && s.head[2] == 0xBF;
  if (utf8Mark && !s.zero) {
    d.bom = true;
    return known(Encoding::Utf8);
  }

  std::vector<Scored> running;
  // UTF-16 without a mark only on evidence: zero bytes or bytes above ASCII, and a reading
  // that is plausible Japanese. Text of ASCII bytes alone is ASCII.
  if (!utf8Mark && (s.zero || s.high)) {
    const std::int64_t floor = s.zero ? 1 : kUtf16WithoutZeros;
    if (s.utf16LE.valid && s.utf16LE.score >= floor) {
      running.push_back({Encoding::Utf16LE, s.utf16LE.score});
    }
    if (s.utf16BE.valid && s.utf16BE.score >= floor) {
      running.push_back({Encoding::Utf16BE, s.utf16BE.score});
    }
  }
  if (s.zero) {
    if (running.empty()) {
      d.verdict = Verdict::Binary;
      return d;
    }
  } else if (!s.high) {
    d.ascii = true;
    return known(Encoding::Utf8);
  } else {
    if (s.utf8.valid) running.push_back({Encoding::Utf8, s.utf8.score});
    if (s.eucJp.valid) running.push_back({Encoding::EucJp, s.eucJp.score});
    if (s.shiftJis.valid) running.push_back({Encoding::ShiftJis, s.shiftJis.score});
  }
  std::stable_sort(running.begin(), running.end(),
                   [](const Scored& a, const Scored& b) { return a.score > b.score; });

  if (running.size() == 1 ||
      (running.size() > 1 && running[0].score - running[1].score >= kClearMargin)) {
    const Encoding chosen = running[0].encoding;
    if (chosen == Encoding::Utf16LE) d.lineEnds = s.utf16LE.lines.Kind();
    if (chosen == Encoding::Utf16BE) d.lineEnds = s.utf16BE.lines.Kind();
    return known(chosen);
  }
  d.verdict = Verdict::Undecided;
  if (running.empty()) {
    d.reason = "valid in none of utf-8, utf-16, euc-jp and shift_jis";
    return d;
  }
  d.reason = "valid as";
  for (std::size_t i = 0; i < running.size(); ++i) {
    d.candidates.push_back(running[i].encoding);
    d.reason += i == 0 ? " " : i + 1 == running.size() ? " and " : ", ";
    d.reason += transcode::EncodingName(running[i].encoding);
    d.reason += " (score " + ScoreText(running[i].score) + ")";
  }
  d.reason += ", none clearly more plausible Japanese";
  return d;
}

Detection Detect(std::span<const std::uint8_t> bytes) {
  Detector detector;
  detector.Feed(bytes);
  return detector.Finish();
}

std::string_view LineEndsName(LineEnds ends) {
  switch (ends) {
    case LineEnds::None:
      return "none";
    case LineEnds::Lf:
      return "lf";
    case LineEnds::CrLf:
      return "crlf";
    case LineEnds::Cr:
      return "cr";
    case LineEnds::Mixed:
      return "mixed";
  }
  return "none";
}

std::string Describe(const Detection& detection) {
  switch (detection.verdict) {
    case Verdict::Binary:
      return "binary";
    case Verdict::Undecided:
      return "undecided: " + detection.reason;
    case Verdict::Known:
      break;
  }
  std::string text(detection.ascii ? "ascii" : transcode::EncodingName(detection.encoding));
  text += ", line ends ";
  text += LineEndsName(detection.lineEnds);
  const bool unicode = !detection.ascii && detection.encoding != transcode::Encoding::EucJp &&
                       detection.encoding != transcode::Encoding::ShiftJis;
  if (detection.bom) {
    text += ", byte-order mark";
  } else if (unicode) {
    text += ", no byte-order mark";
  }
  return text;
}

}  // namespace kelvo::detect
