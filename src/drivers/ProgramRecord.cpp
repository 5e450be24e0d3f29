#include "drivers/ProgramRecord.h"

#include "drivers/ProgramOptions.h"
#include "support/FileNames.h"

namespace kelvo {

const ProgramRecord kTamorlek = [] {
  const std::u16string name = u"tamorlek";
  const std::u16string title = u"Tamorlek";
  const std::u16string settingsFile = u"set_tamorlek.txt";
  constexpr int kLockTimeout = 832;
  return ProgramRecord{
      .name = name,
      .version = u"1.06",
      .options =
          {
              .name = name,
              .settingsFile = settingsFile,
              .defaultOutput = u"tamorlek.txt",
              .table = ProgramOptions(kTamorlekBit),
              .numbers = {.paramStr = 783,
                          .settingsFile = 782,
                          .sequenceToInteger = 784,
                          .settingsRefused = 850},
          },
      .guide =
          {
              .title = title,
              .lines =
                  {
                      u"tamorlek                 # Produce UTF16~EUC-JP.bin ",
                      u"tamorlek UTF16           # Produce tamorlek.txt ",
                      u"tamorlek UTF16 EUC       # Produce a new file. ",
                      u"tamorlek -o EUC UTF16    # Produce a new file. ",
                      u"tamorlek -0 UTF16        # Every line includes 0Dh. ",
                      u"tamorlek -t UTF16 EUC    # UTF16 has the same time as EUC. ",
                      u"tamorlek -a UTF16        # Acquire a table name from set_tamorlek.txt ",
                      u"tamorlek -b UTF16        # Produce binary.tmp ",
                      u"tamorlek -b UTF16 UTF16  # Produce and rename binary.tmp ",
                      u"tamorlek -b -y UTF16     # Do not remove binary.tmp ",
                      u"tamorlek -d UTF16        # Do not search a table. ",
                      u"tamorlek -G              # Guide ",
                      u"tamorlek -LF UTF16       # 0Dh is removed from every line. ",
                      u"tamorlek -r2 UTF16 EUC   # Select Field-2 from UTF16 to produce EUC. ",
                      u"tamorlek -s UTF16        # Remove control characters. ",
                      u"tamorlek -u UTF16        # Replace surrogate-pair kanji with \uFF3F. ",
                      u"tamorlek -w UTF16        # -w shows which table tamorlek uses.",
                      u"tamorlek -V              # Version ",
                  },
              .shortLength = 25,
          },
      .log = {.serialParse = 812,
              .serialReset = 813,
              .serialAdvance = 814,
              .lockTimeout = kLockTimeout,
              .workingFile = 855},
      .engine =
          {
              .numbers = {.open = 828,
                          .unitArray = 823,
                          .outputArray = 824,
                          .writeOutput = 815,
                          .showData = 816,
                          .copyTo = 817,
                          .copyFrom = 822,
                          .read = {819, 820, 821, 825, 826, 827},
                          .readToStandardOutput = {0, 0},
                          .lockTimeout = kLockTimeout,
                          .binaryTmpItself = 830,
                          .workingFile = 856,
                          .inputChanged = 857},
              .table =
                  {
                      .search = {.tableName = kForwardTable,
                                 .numbers = {.defaultDirectory = 786,
                                             .currentDirectory = 785,
                                             .settingsUnreadable = 787,
                                             .namedFileUnopenable = 788,
                                             .defaultOnlyStop = 798,
                                             .allProbesFailed = 799,
                                             .refused = 851}},
                      .tables = {.settingsFile = settingsFile,
                                 .title = title,
                                 .tableReport = 834,
                                 .tableSize = 831,
                                 .path = {.candidate = 801,
                                          .refused = 853,
                                          .queue = {.count = 765, .unoccupied = 766},
                                          .list = {.readLow = 774,
                                                   .readHigh = 775,
                                                   .storeLow = 776,
                                                   .storeHigh = 777}}},
                      .tableRead = 818,
                  },
          },
      .derivation = {.source = {.defaultDirectory = 804,
                                .currentDirectory = 803,
                                .settingsUnreadable = 805,
                                .namedFileUnopenable = 806,
                                .defaultOnlyStop = 808,
                                .allProbesFailed = 809,
                                .refused = 852},
                     .sourceRead = 807,
                     .failed = 769},
      .forward =
          {
              .lists =
                  {.unitArray = 789,
                   .refusedLine = 790,
                   .notANumber = 791,
                   .listOpen = 792,
                   .listRead = 793,
                   .refusedUnderscore = 794,
                   .underscoreRead = 829,
                   .furtherRefusals = 833,
                   .listRefused = 854,
                   .fields = {.readLow = 770, .readHigh = 771, .storeLow = 772, .storeHigh = 773}},
              .selection = {.write = 357,
                            .read = 359,
                            .unitArray = 360,
                            .outputArray = 361,
                            .open = 362,
                            .inputChanged = 858},
              .writeList = 802,
          },
      .standardInput = {},
  };
}();

const ProgramRecord kBrenodax = [] {
  const std::u16string name = u"brenodax";
  const std::u16string title = u"Brenodax";
  const std::u16string settingsFile = u"set_brenodax.txt";
  constexpr int kLockTimeout = 196;
  return ProgramRecord{
      .name = name,
      .version = u"1.05",
      .options =
          {
              .name = name,
              .settingsFile = settingsFile,
              .defaultOutput = u"brenodax.txt",
              .table = ProgramOptions(kBrenodaxBit),
              .numbers = {.paramStr = 157,
                          .settingsFile = 156,
                          .sequenceToInteger = 158,
                          .settingsRefused = 210},
          },
      .guide =
          {
              .title = title,
              .lines =
                  {
                      u"brenodax                # Produce EUC-JP~UTF16.bin ",
                      u"brenodax EUC            # Produce brenodax.txt ",
                      u"brenodax EUC UTF16      # Produce a new file. ",
                      u"brenodax -o UTF16 EUC   # Produce a new file. ",
                      u"brenodax -o UTF16 < EUC # Every line includes 0Dh. ",
                      u"brenodax -0 EUC         # Every line includes 0Dh. ",
                      u"brenodax -t EUC UTF16   # EUC has the same time as UTF16. ",
                      u"brenodax -a EUC         # Acquire a table name from set_brenodax.txt ",
                      u"brenodax -b EUC         # Produce binary.tmp ",
                      u"brenodax -b EUC EUC     # Produce and rename binary.tmp ",
                      u"brenodax -b -y EUC      # Do not remove binary.tmp ",
                      u"brenodax -d EUC         # Do not search a table. ",
                      u"brenodax -G             # Guide ",
                      u"brenodax -LF EUC        # 0Dh is removed from every line. ",
                      u"brenodax -s EUC         # Remove control characters. ",
                      u"brenodax -w EUC         # -w shows which table brenodax uses.",
                      u"brenodax -V             # Version ",
                  },
              .shortLength = 24,
          },
      .log = {.serialParse = 191,
              .serialReset = 192,
              .serialAdvance = 193,
              .lockTimeout = kLockTimeout,
              .workingFile = 214},
      .engine =
          {
              .numbers = {.open = 146,
                          .unitArray = 141,
                          .outputArray = 142,
                          .writeOutput = 133,
                          .showData = 134,
                          .copyTo = 135,
                          .copyFrom = 140,
                          .read = {137, 138, 139, 143, 144, 145},
                          .readToStandardOutput = {0, 0},
                          .lockTimeout = kLockTimeout,
                          .binaryTmpItself = 194,
                          .workingFile = 215,
                          .inputChanged = 216},
              .table =
                  {
                      .search = {.tableName = kReverseTable,
                                 .numbers = {.defaultDirectory = 161,
                                             .currentDirectory = 160,
                                             .settingsUnreadable = 162,
                                             .namedFileUnopenable = 163,
                                             .defaultOnlyStop = 168,
                                             .allProbesFailed = 169,
                                             .refused = 211}},
                      .tables = {.settingsFile = settingsFile,
                                 .title = title,
                                 .tableReport = 197,
                                 .tableSize = 195,
                                 .path = {.candidate = 159,
                                          .refused = 213,
                                          .queue = {.count = 129, .unoccupied = 130},
                                          .list = {.readLow = 148,
                                                   .readHigh = 149,
                                                   .storeLow = 150,
                                                   .storeHigh = 151}}},
                      .tableRead = 178,
                  },
          },
      .derivation = {.source = {.defaultDirectory = 172,
                                .currentDirectory = 171,
                                .settingsUnreadable = 173,
                                .namedFileUnopenable = 174,
                                .defaultOnlyStop = 176,
                                .allProbesFailed = 177,
                                .refused = 212},
                     .sourceRead = 175,
                     .failed = 147},
      .forward = {},
      .standardInput = {.writeOutput = 182,
                        .showData = 183,
                        .spooling = 184,
                        .readPlain = 185,
                        .readFiltered = 186,
                        .spoolArray = 187,
                        .outputArray = 188,
                        .measuring = 189,
                        .spoolRefused = 217},
  };
}();

const ProgramRecord kQuilvar = [] {
  const std::u16string name = u"quilvar";
  const std::u16string title = u"Quilvar";
  const std::u16string settingsFile = u"set_quilvar.txt";
  constexpr int kLockTimeout = 131;
  return ProgramRecord{
      .name = name,
      .version = u"1.04",
      .options =
          {
              .name = name,
              .settingsFile = settingsFile,
              .defaultOutput = u"quilvar.txt",
              .table = ProgramOptions(kQuilvarBit),
              .numbers = {.paramStr = 112,
                          .settingsFile = 111,
                          .sequenceToInteger = 113,
                          .settingsRefused = 240},
          },
      .guide =
          {
              .title = title,
              .lines =
                  {
                      u"quilvar               # Produce EUC-JP~Shift_JIS.bin from "
                      u"MS932~EUC-JP.bin ",
                      u"quilvar EUC           # Produce quilvar.txt ",
                      u"quilvar EUC SJIS      # Produce a new file. ",
                      u"quilvar -o SJIS EUC   # Produce a new file. ",
                      u"quilvar --out EUC     # standard output ",
                      u"quilvar -0 EUC        # Every line includes 0Dh. ",
                      u"quilvar -t EUC SJIS   # EUC has the same time as SJIS. ",
                      u"quilvar -a EUC        # Acquire a table name from set_quilvar.txt ",
                      u"quilvar -b EUC        # Produce binary.tmp ",
                      u"quilvar -b EUC EUC    # Produce and rename binary.tmp ",
                      u"quilvar -b -y EUC     # Do not remove binary.tmp ",
                      u"quilvar -d EUC        # Do not search a table. ",
                      u"quilvar -G            # Guide ",
                      u"quilvar -LF EUC       # 0Dh is removed from every line. ",
                      u"quilvar -s EUC        # Remove control characters. ",
                      u"quilvar -w EUC        # -w shows which table quilvar uses.",
                      u"quilvar -V            # Version ",
                  },
              .shortLength = 22,
          },
      .log = {.serialParse = 126,
              .serialReset = 127,
              .serialAdvance = 128,
              .lockTimeout = kLockTimeout,
              .workingFile = 243},
      .engine =
          {
              .numbers = {.open = 103,
                          .unitArray = 96,
                          .outputArray = 97,
                          .writeOutput = 88,
                          .showData = 89,
                          .copyTo = 90,
                          .copyFrom = 95,
                          .read = {92, 93, 94, 98, 99, 100},
                          .readToStandardOutput = {101, 102},
                          .lockTimeout = kLockTimeout,
                          .binaryTmpItself = 129,
                          .workingFile = 244,
                          .inputChanged = 245},
              .table =
                  {
                      .search = {.tableName = kRecoderTable,
                                 .numbers = {.defaultDirectory = 116,
                                             .currentDirectory = 115,
                                             .settingsUnreadable = 117,
                                             .namedFileUnopenable = 118,
                                             .defaultOnlyStop = 123,
                                             .allProbesFailed = 124,
                                             .refused = 241}},
                      .tables = {.settingsFile = settingsFile,
                                 .title = title,
                                 .tableReport = 132,
                                 .tableSize = 130,
                                 // The queue's count report carries no number here.
                                 .path = {.candidate = 114,
                                          .refused = 242,
                                          .queue = {.count = 0, .unoccupied = 85},
                                          .list = {.readLow = 105,
                                                   .readHigh = 106,
                                                   .storeLow = 107,
                                                   .storeHigh = 108}}},
                      .tableRead = 119,
                  },
          },
      // The source is read from the current directory alone: no search.
      .derivation = {.source = {}, .sourceRead = 0, .failed = 104},
      .forward = {},
      .standardInput = {},
  };
}();

}  // namespace kelvo
