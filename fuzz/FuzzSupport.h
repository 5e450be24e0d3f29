// What the fuzz targets share: reports that go nowhere, checks that end the run, exact heap
// copies, and the code tables of the programs derived in memory from the source tables.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "convert/EucCodeTable.h"
#include "convert/PastoralUTF16.h"

namespace kelvo::fuzz {

// Sends every report to nothing; each target calls it before its first input.
void Quiet();

// Ends the run with the message: a fuzz target's way of saying it found a fault.
[[noreturn]] void Fail(const char* what);
inline void Check(bool condition, const char* what) {
  if (!condition) Fail(what);
}

// A heap block of exactly size bytes, so that the sanitizer sees a step past either end.
struct Exact {
  explicit Exact(std::size_t size) : bytes(new std::uint8_t[size]), size(size) {}
  Exact(const std::uint8_t* data, std::size_t size);
  std::unique_ptr<std::uint8_t[]> bytes;
  std::size_t size;
};

// Takes the fuzz input a piece at a time.
class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  // The next byte, 0 once the input is used up.
  std::uint8_t Byte();
  // The rest of the input.
  const std::uint8_t* Rest() const { return data_ + at_; }
  std::size_t RestSize() const { return size_ - at_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

// The source tables, as data/ holds them.
const std::vector<std::uint8_t>& Ms932Utf16Source();
const std::vector<std::uint8_t>& Ms932EucSource();
// The derived tables' bytes, as the programs derive them.
const std::vector<std::uint8_t>& ForwardTableBytes();  // UTF16~EUC-JP
const std::vector<std::uint8_t>& ReverseTableBytes();  // EUC-JP~UTF16
const std::vector<std::uint8_t>& RecoderTableBytes();  // EUC-JP~Shift_JIS

// The list files the targets load: the built-in surro.csv and a small surro.txt.
const std::vector<std::uint8_t>& BuiltInSurrogateList();
const std::string& SampleUnderscoreList();

// The programs' code tables, loaded once: the forward one with either list.
const PastoralSceneUTF16& ForwardTable(SurrogateList list);
const EucCodeTable& ReverseTable();
const EucCodeTable& RecoderTable();

// A new forward table with the records and the list.
std::unique_ptr<PastoralSceneUTF16> MakeForwardTable(const std::uint8_t* records, std::size_t size,
                                                     SurrogateList list);
// A new forward table with the first records of the derived one and no list: enough for the
// replacements of a list entered into it to have entries to read.
std::unique_ptr<PastoralSceneUTF16> TableForLists();
// The error numbers of the forward program's lists.
const SurrogateListNumbers& ListNumbers();

}  // namespace kelvo::fuzz
