// What differs between the three programs, in one record per program: the collection of
// the records that each layer takes when its parts are made. Nothing below the drivers
// reads these records; each part is handed what it needs.
#pragma once

#include <string>

#include "cmdline/Guide.h"
#include "cmdline/HyphenTerm.h"
#include "convert/EngineFile.h"
#include "convert/PastoralUTF16.h"
#include "convert/StandardIO.h"
#include "fields/SelectField.h"
#include "support/TimeName.h"
#include "tables/SparseEUC.h"

namespace kelvo {

struct ProgramRecord {
  std::u16string name;     // "tamorlek": the command name, used in messages
  std::u16string version;  // "1.06"
  OptionRecord options;
  GuideTexts guide;
  LogNumbers log;
  EngineRecord engine;  // with the program's own code table and its search
  // The derivation of the table; a program that reads its source from the current
  // directory alone has no search numbers (0).
  DerivationNumbers derivation;

  // The parts of the forward program alone; their numbers are 0 in the others.
  struct Forward {
    SurrogateListNumbers lists;
    SelectionNumbers selection;
    int writeList;  // the built-in surro.csv cannot be written
  } forward;
  // The standard-input path of the reverse program alone; 0 in the others.
  StandardInputNumbers standardInput;
};

extern const ProgramRecord kTamorlek;
extern const ProgramRecord kBrenodax;
extern const ProgramRecord kQuilvar;

}  // namespace kelvo
