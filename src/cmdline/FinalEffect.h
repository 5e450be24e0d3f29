// The run settings: filled once by the driver from the option scanner, then read by the
// engines, the table loaders and the field selector.
#pragma once

#include <cstdint>
#include <string>

namespace kelvo {

class FinalEffects {
 public:
  // The forward program's variant.
  void Define(const std::u16string& inputName, const std::u16string& outputName,
              const std::u16string& tableName, std::int32_t pNumber, std::int32_t fieldNumber,
              bool carriageReturn, bool sameTime, bool keepBinaryTmp, bool defaultTableOnly,
              bool lineFeedMode, bool removeControls, bool acquireTable, bool underscoreSurrogates,
              bool viaBinaryTmp, bool showTable);
  // The reverse program's and the recoder's variant (no field number, no "-u").
  void Define(const std::u16string& inputName, const std::u16string& outputName,
              const std::u16string& tableName, std::int32_t pNumber, bool carriageReturn,
              bool sameTime, bool keepBinaryTmp, bool defaultTableOnly, bool lineFeedMode,
              bool removeControls, bool acquireTable, bool viaBinaryTmp, bool showTable);
  // Settings for building surro.txt from surro.csv: the four given values, CR LF lines,
  // every other switch off.
  void DefineForSurrogates(const std::u16string& inputName, const std::u16string& outputName,
                           std::int32_t fieldNumber, bool underscoreSurrogates);

  bool CarriageReturn() const { return carriageReturn_; }
  std::int32_t FieldNumber() const { return fieldNumber_; }
  std::u16string InputName() const { return inputName_; }
  bool SameTime() const { return sameTime_; }
  std::u16string OutputName() const { return outputName_; }
  bool KeepBinaryTmp() const { return keepBinaryTmp_; }
  bool DefaultTableOnly() const { return defaultTableOnly_; }
  std::u16string TableName() const { return tableName_; }
  std::int32_t PNumber() const { return pNumber_; }
  bool LineFeedMode() const { return lineFeedMode_; }
  bool RemoveControls() const { return removeControls_; }
  bool AcquireTable() const { return acquireTable_; }
  bool UnderscoreSurrogates() const { return underscoreSurrogates_; }
  bool ViaBinaryTmp() const { return viaBinaryTmp_; }
  bool ShowTable() const { return showTable_; }

 private:
  bool carriageReturn_ = false;
  std::int32_t fieldNumber_ = 0;
  std::u16string inputName_;
  bool sameTime_ = false;
  std::u16string outputName_;
  bool keepBinaryTmp_ = false;
  bool defaultTableOnly_ = false;
  std::u16string tableName_;
  std::int32_t pNumber_ = 1;
  bool lineFeedMode_ = false;
  bool removeControls_ = false;
  bool acquireTable_ = false;
  bool underscoreSurrogates_ = false;
  bool viaBinaryTmp_ = false;
  bool showTable_ = false;
};

}  // namespace kelvo
