#include "drivers/ProgramRecord.h"

namespace kelvo {

const ProgramRecord kTamorlek{
    .name = u"tamorlek",
    .title = u"Tamorlek",
    .settingsFile = u"set_tamorlek.txt",
    .defaultOutput = u"tamorlek.txt",
    .version = u"1.06",
    .tableFile = u"UTF16~EUC-JP.bin",
    .guideLines =
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
    .shortGuideLength = 25,
    .fieldOptions = true,
    .outAlias = false,
    .errors =
        {
            .paramStr = 783,
            .listNameLow = 778,
            .listNameHigh = 779,
            .settingsFile = 782,
            .sequenceToInteger = 784,
            .serialParse = 812,
            .serialReset = 813,
            .serialAdvance = 814,
            .queueCount = 765,
            .queueUnoccupied = 766,
            .itemReadLow = 774,
            .itemReadHigh = 775,
            .itemStoreLow = 776,
            .itemStoreHigh = 777,
            .pathCandidate = 801,
            .codeTable = {786, 785, 787, 788, 798, 799},
            .derivationSource = {804, 803, 805, 806, 808, 809},
            .derivationFailed = 769,
            .engine =
                {
                    .open = 828,
                    .unitArray = 823,
                    .outputArray = 824,
                    .writeOutput = 815,
                    .showData = 816,
                    .copyTo = 817,
                    .copyFrom = 822,
                    .read = {819, 820, 821, 825, 826, 827},
                    .readToStandardOutput = {0, 0},
                    .emptyTablePath = 0,
                    .tableRead = 818,
                },
        },
};

const ProgramRecord kBrenodax{
    .name = u"brenodax",
    .title = u"Brenodax",
    .settingsFile = u"set_brenodax.txt",
    .defaultOutput = u"brenodax.txt",
    .version = u"1.05",
    .tableFile = u"EUC-JP~UTF16.bin",
    .guideLines =
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
    .shortGuideLength = 24,
    .fieldOptions = false,
    .outAlias = true,
    .errors =
        {
            .paramStr = 157,
            .listNameLow = 152,
            .listNameHigh = 153,
            .settingsFile = 156,
            .sequenceToInteger = 158,
            .serialParse = 191,
            .serialReset = 192,
            .serialAdvance = 193,
            .queueCount = 129,
            .queueUnoccupied = 130,
            .itemReadLow = 148,
            .itemReadHigh = 149,
            .itemStoreLow = 150,
            .itemStoreHigh = 151,
            .pathCandidate = 159,
            .codeTable = {161, 160, 162, 163, 168, 169},
            .derivationSource = {172, 171, 173, 174, 176, 177},
            .derivationFailed = 147,
            .engine =
                {
                    .open = 146,
                    .unitArray = 141,
                    .outputArray = 142,
                    .writeOutput = 133,
                    .showData = 134,
                    .copyTo = 135,
                    .copyFrom = 140,
                    .read = {137, 138, 139, 143, 144, 145},
                    .readToStandardOutput = {0, 0},
                    .emptyTablePath = 170,
                    .tableRead = 178,
                },
        },
};

const ProgramRecord kQuilvar{
    .name = u"quilvar",
    .title = u"Quilvar",
    .settingsFile = u"set_quilvar.txt",
    .defaultOutput = u"quilvar.txt",
    .version = u"1.04",
    .tableFile = u"EUC-JP~Shift_JIS.bin",
    .guideLines =
        {
            u"quilvar               # Produce EUC-JP~Shift_JIS.bin from MS932~EUC-JP.bin ",
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
    .shortGuideLength = 22,
    .fieldOptions = false,
    .outAlias = true,
    .errors =
        {
            .paramStr = 112,
            .listNameLow = 109,
            .listNameHigh = 110,
            .settingsFile = 111,
            .sequenceToInteger = 113,
            .serialParse = 126,
            .serialReset = 127,
            .serialAdvance = 128,
            .queueCount = 0,
            .queueUnoccupied = 85,
            .itemReadLow = 105,
            .itemReadHigh = 106,
            .itemStoreLow = 107,
            .itemStoreHigh = 108,
            .pathCandidate = 114,
            .codeTable = {116, 115, 117, 118, 123, 124},
            .derivationSource = {0, 0, 0, 0, 0, 0},
            .derivationFailed = 104,
            .engine =
                {
                    .open = 103,
                    .unitArray = 96,
                    .outputArray = 97,
                    .writeOutput = 88,
                    .showData = 89,
                    .copyTo = 90,
                    .copyFrom = 95,
                    .read = {92, 93, 94, 98, 99, 100},
                    .readToStandardOutput = {101, 102},
                    .emptyTablePath = 125,
                    .tableRead = 119,
                },
        },
};

namespace {
const ProgramRecord* current = &kTamorlek;
}

const ProgramRecord& CurrentProgram() {
  return *current;
}
void SetCurrentProgram(const ProgramRecord& program) {
  current = &program;
}

}  // namespace kelvo
