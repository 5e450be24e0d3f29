#include "cmdline/FinalEffect.h"

namespace kelvo {

void FinalEffects::Define(const std::u16string& inputName, const std::u16string& outputName,
                          const std::u16string& tableName, std::int32_t pNumber,
                          std::int32_t fieldNumber, bool carriageReturn, bool sameTime,
                          bool keepBinaryTmp, bool defaultTableOnly, bool lineFeedMode,
                          bool removeControls, bool acquireTable, bool underscoreSurrogates,
                          bool viaBinaryTmp, bool showTable) {
  Define(inputName, outputName, tableName, pNumber, carriageReturn, sameTime, keepBinaryTmp,
         defaultTableOnly, lineFeedMode, removeControls, acquireTable, viaBinaryTmp, showTable);
  fieldNumber_ = fieldNumber;
  underscoreSurrogates_ = underscoreSurrogates;
}

void FinalEffects::Define(const std::u16string& inputName, const std::u16string& outputName,
                          const std::u16string& tableName, std::int32_t pNumber,
                          bool carriageReturn, bool sameTime, bool keepBinaryTmp,
                          bool defaultTableOnly, bool lineFeedMode, bool removeControls,
                          bool acquireTable, bool viaBinaryTmp, bool showTable) {
  inputName_ = inputName;
  outputName_ = outputName;
  tableName_ = tableName;
  pNumber_ = pNumber;
  carriageReturn_ = carriageReturn;
  sameTime_ = sameTime;
  keepBinaryTmp_ = keepBinaryTmp;
  defaultTableOnly_ = defaultTableOnly;
  lineFeedMode_ = lineFeedMode;
  removeControls_ = removeControls;
  acquireTable_ = acquireTable;
  viaBinaryTmp_ = viaBinaryTmp;
  showTable_ = showTable;
}

void FinalEffects::DefineForSurrogates(const std::u16string& inputName,
                                       const std::u16string& outputName, std::int32_t fieldNumber,
                                       bool underscoreSurrogates) {
  Define(inputName, outputName, u"", 1, fieldNumber, true, false, false, false, false, false, false,
         underscoreSurrogates, false, false);
}

}  // namespace kelvo
