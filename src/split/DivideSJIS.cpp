#include "split/DivideSJIS.h"

namespace kelvo {

namespace {
constexpr int kBlank = 32;
constexpr int kDoubleQuote = 34;
constexpr int kFillerCount = 1;

bool IsLeadByte(unsigned char b) {
  return (b >= 0x81 && b <= 0xA0) || (b >= 0xE0 && b <= 0xFC);
}
}  // namespace

DividingSJIS::DividingSJIS(const QueueNumbers& queueNumbers) : queueNumbers_(queueNumbers) {}

DividingSJIS::~DividingSJIS() = default;

// A code from 1 to the table's length is looked up; any other code stands for itself.
char DividingSJIS::Character(int code) const {
  if (code >= 1 && static_cast<std::size_t>(code) <= characterTable_.size()) {
    return characterTable_[static_cast<std::size_t>(code - 1)];
  }
  return static_cast<char>(code & 0xFF);
}

void DividingSJIS::ConfigureQuoting(std::string_view characterTable, int quote, int separator,
                                    bool dropSeparatorsInQuotes) {
  characterTable_ = characterTable;
  filler_ = Character(kBlank);
  cutter_.Configure(Character(quote), Character(separator), dropSeparatorsInQuotes);
}

void DividingSJIS::ConfigureWithBlank(std::string_view characterTable, int quote, int separator,
                                      bool dropSeparatorsInQuotes, int blank) {
  ConfigureQuoting(characterTable, quote, separator, dropSeparatorsInQuotes);
  blank_ = blank;
}

void DividingSJIS::Configure(std::string_view characterTable, int separator) {
  ConfigureQuoting(characterTable, kDoubleQuote, separator, true);
}

void DividingSJIS::Prepare(FieldsListMany* list, int limit) {
  list_ = list;
  cutter_.Select(limit, [](int) { return true; });
  StartQueue();
}

void DividingSJIS::StartQueue() {
  queue_ = std::make_unique<AnsiStringQueue>(queueNumbers_);
  queue_->Initialize(characterTable_, std::string(1, filler_), kFillerCount);
}

int DividingSJIS::DivideAppending(const char* bytes, int count, const std::string& suffix,
                                  int suffixCode) {
  const int fields = DivideLine(bytes, count);
  CopyAll(Character(suffixCode) + suffix);
  return fields;
}

int DividingSJIS::DivideConverting(const char* bytes, int fieldNumber, int count) {
  const int fields = DivideLine(bytes, count);
  // The conversion for field fieldNumber is the identity, so this is a plain copy.
  (void)fieldNumber;
  CopyAll({});
  return fields;
}

// A lead byte and the byte after it are one character, whatever the second byte's value;
// single-byte katakana are characters of their own. Neither is ever a quote or a separator.
int DividingSJIS::DivideLine(const char* bytes, int count) {
  if (queue_ == nullptr || queue_->queue_size() > kFillerCount) StartQueue();
  using Role = FieldCutter<char>::Role;
  const bool doubleByte = doubleByte_;
  return cutter_.Divide(
      bytes, count,
      [doubleByte](char b) {
        const auto u = static_cast<unsigned char>(b);
        if (!doubleByte || u < 0x81 || u > 0xFC) return Role::Compared;
        return IsLeadByte(u) ? Role::Lead : Role::Data;
      },
      // A full queue drops the field: a line keeps its first 3069 fields.
      [this](std::string_view field) { static_cast<void>(queue_->Push(std::string(field))); });
}

void DividingSJIS::CopyAll(const std::string& tail) {
  if (list_ == nullptr) return;
  // Nothing of an earlier line stays in the list.
  list_->Clear();
  // A count or an item that cannot be had has been reported: it adds nothing to the list.
  const QueueCount counted = queue_->Count();
  for (int i = 0; i < counted.count; ++i) {
    const QueueItem field = queue_->q(i);
    if (field.result) list_->item(std::string(field.text) + tail, i);
  }
}

}  // namespace kelvo
