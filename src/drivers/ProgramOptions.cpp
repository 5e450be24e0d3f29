#include "drivers/ProgramOptions.h"

namespace kelvo {

namespace {

constexpr unsigned kAll = kTamorlekBit | kBrenodaxBit | kQuilvarBit;
constexpr unsigned kNone = 0;

struct Row {
  unsigned programs;  // the programs that take the option
  unsigned guided;    // the programs whose guide shows it
  OptionEntry entry;
};

using enum OptionKind;
using enum OptionEffect;

// One row per option, in the order of the manual pages; an option whose text differs between
// the programs has one row for each text. Options that the manual pages leave out come last.
constexpr Row kRows[] = {
    {kAll,
     kAll,
     {.word = u"-0",
      .kind = Flag,
      .effect = WithCR,
      .manText = R"(Every output line ends with CR LF (0Dh 0Ah).
This is the default.
)"}},
    {kAll, kNone, {.word = u"-CRLF", .kind = Alias, .expansion = {u"-0"}, .manText = R"(The same as
.BR \-0 .
)"}},
    {kAll,
     kAll,
     {.word = u"-LF",
      .kind = Alias,
      .expansion = {u"-0-", u"-L"},
      .manText = R"(Every output line ends with LF alone: carriage returns of the input are removed.
)"}},
    {kAll,
     kNone,
     {.word = u"-L",
      .kind = Flag,
      .effect = LineFeedMode,
      .manText = R"(Line ends with LF alone, but only together with
.BR \-0\- ;
.B \-LF
is the usual way to write both.
)"}},
    {kTamorlekBit | kQuilvarBit,
     kTamorlekBit | kQuilvarBit,
     {.word = u"-o",
      .kind = Name,
      .effect = OutputName,
      .manText =
          R"(Takes the next plain word as the output name, so that the output may be named before the input.
)",
      .manHead = R"(.BI \-o " output")"}},
    {kBrenodaxBit,
     kBrenodaxBit,
     {.word = u"-o",
      .kind = Name,
      .effect = OutputName,
      .manText =
          R"(Takes the next plain word as the output name, so that the output may be named before the input
or be given for standard input.
)",
      .manHead = R"(.BI \-o " output")"}},
    {kBrenodaxBit,
     kNone,
     {.word = u"--out",
      .kind = Alias,
      .expansion = {u"-o-", u"-z"},
      .manText = R"(Writes the result to standard output.
)"}},
    {kQuilvarBit,
     kQuilvarBit,
     {.word = u"--out",
      .kind = Alias,
      .expansion = {u"-o-", u"-z"},
      .manText = R"(Writes the result to standard output;
.B \-b
and
.B \-t
do not apply then.
)"}},
    {kBrenodaxBit | kQuilvarBit,
     kNone,
     {.word = u"-z",
      .kind = Flag,
      .effect = NoDefaultOutput,
      .manText =
          R"(Gives no default output name: without an output name the result goes to standard output.
)"}},
    {kAll,
     kAll,
     {.word = u"-b", .kind = Flag, .effect = ViaBinaryTmp, .manText = R"(Writes the result to
.I binary.tmp
first and then copies it to the output, so that a file can be converted onto itself:
.BI "{program} \-b " "file file" .
)"}},
    {kAll, kAll, {.word = u"-y", .kind = Flag, .effect = KeepBinaryTmp, .manText = R"(Keeps
.I binary.tmp
after
.B \-b
or
.BR \-t ,
which otherwise remove it.
)"}},
    {kAll,
     kAll,
     {.word = u"-t",
      .kind = Flag,
      .effect = SameTime,
      .manText =
          R"(Renews the modification time of the input file and nothing else: its content, permissions,
owner, links and identity stay as they are (a copy goes to
.I binary.tmp
on the way)
before the output is written, so that the input is not older than the output.
)"}},
    {kAll,
     kAll,
     {.word = u"-s",
      .kind = Flag,
      .effect = RemoveControls,
      .manText =
          R"(Removes control characters (other than line feeds and carriage returns) from the output.
)"}},
    {kTamorlekBit,
     kTamorlekBit,
     {.word = u"-u",
      .kind = Flag,
      .effect = UnderscoreSurrogates,
      .manText = R"(Replaces every supplementary\-plane kanji listed in
.I surro.txt
by \(lq\[uFF3F]\(rq (U+FF3F) instead of the character that
.I surro.csv
gives for it.
)"}},
    {kTamorlekBit,
     kTamorlekBit,
     {.word = u"-r",
      .kind = Number,
      .effect = FieldNumber,
      .manText = R"(Selects field
.I n
(counted from 1) of every comma\-separated line of the input
and writes it, converted to EUC\-JP and followed by the comma that ended it, as one line of
the output; the last field of a line has no comma after it, so the line
.B 3,\[u672D]\[u5E4C]
gives
.B \[u672D]\[u5E4C]
with
.BR \-r2 .
Fields may be enclosed in double quotation marks.
Unlike the usual CSV reading, a doubled quotation mark inside a quoted field is dropped, not
kept as one: the field
.B \(dq\[u5927]\[u962A] \(dq\(dq\[u5E9C]\(dq\(dq\(dq
gives
.BR "\[u5927]\[u962A] \[u5E9C]" .
A field number of 255 or more selects nothing: the whole file is converted as without
.BR \-r .
)",
      .manHead = R"(.BI \-r n)"}},
    {kTamorlekBit,
     kNone,
     {.word = u"-Z", .kind = Flag, .effect = WideFields, .manText = R"(Raises the limit of
.B \-r
from 255 to 3071 fields.
)"}},
    {kAll,
     kAll,
     {.word = u"-d",
      .kind = Flag,
      .effect = DefaultTableOnly,
      .manText =
          R"(Looks for the table file in the default table directory only; without it there the program stops.
)"}},
    {kAll,
     kAll,
     {.word = u"-a",
      .kind = Flag,
      .effect = AcquireTable,
      .manText = R"(Looks only at the table file named on the first line of the settings file.
)"}},
    {kAll,
     kAll,
     {.word = u"-w",
      .kind = Flag,
      .effect = ShowTable,
      .manText = R"(Shows which table file is used: the program writes its path to
.I data.txt
and prints it.
)"}},
    {kTamorlekBit,
     kNone,
     {.word = u"-z",
      .kind = Flag,
      .effect = NoDefaultOutput,
      .manText =
          R"(Gives no default output name: with only an input name the program prints the short guide and stops.
)"}},
    {kAll,
     kAll,
     {.word = u"-G",
      .kind = Flag,
      .effect = GuideWanted,
      .manText = R"(Prints the guide: one commented line for each typical command.
On Windows,
.B /?
asks for it too (no Windows file can bear that name); elsewhere it is a file name.
Exit status 1.
)"}},
    // Described under "-G".
    {kAll, kNone, {.word = u"--help", .kind = Alias, .expansion = {u"-G"}}},
    {kAll, kNone, {.word = u"-VC", .kind = Alias, .expansion = {u"-G"}}},
    {kAll,
     kAll,
     {.word = u"-V",
      .kind = Flag,
      .effect = VersionWanted,
      .manText = R"(Prints the version and the short guide.
Exit status 1.
)"}},
    // Words that are consumed and change nothing: "-_" takes the next plain word, a number
    // too large for "-P", "-}", "-{", "-I" or "-~" is reported.
    {kAll, kNone, {.word = u"-_", .kind = Name}},
    {kAll, kNone, {.word = u"-P", .kind = Number}},
    {kAll, kNone, {.word = u"-}", .kind = Number}},
    {kAll, kNone, {.word = u"-{", .kind = Number}},
    {kAll, kNone, {.word = u"-I", .kind = Range}},
    {kAll, kNone, {.word = u"-~", .kind = Range}},
    {kAll, kNone, {.word = u"-e", .kind = Value}},
    {kAll, kNone, {.word = u"-E", .kind = Value}},
    {kAll, kNone, {.word = u"-J", .kind = Value}},
    {kAll, kNone, {.word = u"-Q", .kind = Value}},
    {kAll, kNone, {.word = u"-j", .kind = Text}},
    {kAll, kNone, {.word = u"-q", .kind = Text}},
};

}  // namespace

OptionTable ProgramOptions(ProgramBit program) {
  OptionTable table;
  for (const Row& row : kRows) {
    if ((row.programs & program) == 0) continue;
    table.push_back(row.entry);
    table.back().inGuide = (row.guided & program) != 0;
  }
  return table;
}

}  // namespace kelvo
