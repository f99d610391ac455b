#include "app/OptionTable.h"
#include "pdf/CPdfException.h"
#include "stamp/pass/CPdfStamp.h"
#include "support/ProgramRunner.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <limits>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::vector<std::string> commandLine(const std::vector<std::string>& options) {
    std::vector<std::string> args{"quillmark", "-iin.pdf", "-oout.pdf"};
    args.insert(args.end(), options.begin(), options.end());
    return args;
}

// The message parseOptions throws, or "" when it does not throw.
std::string parseFailure(const std::vector<std::string>& args) {
    CPdfStamp job;
    try {
        job.parseOptions(args);
    } catch (const CPdfException& failure) {
        return failure.message();
    }
    return std::string();
}

TEST(OptionsTest, FreshJobHasTheDefaults) {
    const CPdfStamp job;
    const StampDefinition& stamp = job.stamp;
    EXPECT_EQ(stamp.startPage, 1);
    EXPECT_EQ(stamp.endPage, 99999);
    EXPECT_EQ(stamp.startNumber, 1);
    EXPECT_EQ(stamp.maskWidth, 0);
    EXPECT_EQ(stamp.nth, 0);
    EXPECT_EQ(stamp.baseSize, 11);
    EXPECT_EQ(stamp.angle, 0);
    EXPECT_FALSE(stamp.sequential || stamp.reverse || stamp.twoUp || stamp.abTwoUp ||
                 stamp.numberOnly || stamp.lowerRoman || stamp.upperRoman || stamp.noPageNumbers ||
                 stamp.flipVertical || stamp.flipHorizontal || job.quiet || job.removeSource);
    EXPECT_TRUE(stamp.forcePortrait);
    EXPECT_EQ(stamp.prefixText, "Page ");
    EXPECT_EQ(stamp.separatorText, " / ");
    EXPECT_EQ(stamp.endText, "");
    EXPECT_EQ(stamp.fontName, "Arial");
    EXPECT_EQ(stamp.alignment, "left");
    EXPECT_EQ(stamp.rgbColor, 0u);
    EXPECT_EQ(stamp.cmykColor, 0u);
    EXPECT_EQ(stamp.opacity, 100);
    EXPECT_EQ(job.lineSpacing, 0);
    EXPECT_EQ(stamp.positionX, 20);
    EXPECT_EQ(stamp.positionY, 10);
    EXPECT_EQ(stamp.sizeTable.count, 0);
    for (const std::string* text :
         {&job.exportFile, &job.importFile, &job.renamePattern, &stamp.fontMetricsFile,
          &stamp.fontSizesFile, &job.textLinesFile, &stamp.pageSizeText, &job.inputName,
          &job.outputName}) {
        EXPECT_TRUE(text->empty());
    }
}

struct OptionCase {
    std::vector<std::string> options;
    std::function<bool(const CPdfStamp&)> holds;
};

void expectOptions(const std::vector<OptionCase>& cases) {
    for (const OptionCase& c : cases) {
        std::string label;
        for (const std::string& option : c.options) {
            label += "[" + option + "] ";
        }
        CPdfStamp job;
        ASSERT_NO_THROW(job.parseOptions(commandLine(c.options))) << label;
        EXPECT_TRUE(c.holds(job)) << label;
    }
}

// Every option of the table, in the table's order.
TEST(OptionsTest, EachOptionSetsItsSetting) {
    expectOptions({
        {{"-s3"}, [](const CPdfStamp& j) { return j.stamp.startPage == 3; }},
        {{"-e7"}, [](const CPdfStamp& j) { return j.stamp.endPage == 7; }},
        {{"-ns5"},
         [](const CPdfStamp& j) { return j.stamp.startNumber == 5 && j.stamp.startPage == 1; }},
        // Accepted, setting nothing: not taken for "-n" or "-ns".
        {{"-ne9"}, [](const CPdfStamp& j) { return j.stamp.nth == 0 && j.stamp.startNumber == 1; }},
        {{"-m4"}, [](const CPdfStamp& j) { return j.stamp.maskWidth == 4; }},
        // Stamp options go to the stamp they stand in, each from the defaults; run options to
        // the run; the first stamp stays `stamp`.
        {{"-s3", "-next", "-s5", "-quiet", "-prefix", "B", "-next", "-e4"},
         [](const CPdfStamp& j) {
             return j.stamp.startPage == 3 && j.quiet && j.moreStamps.size() == 2 &&
                    j.moreStamps[0].startPage == 5 && j.moreStamps[0].prefixText == "B" &&
                    j.moreStamps[1].startPage == 1 && j.moreStamps[1].endPage == 4 &&
                    j.moreStamps[1].prefixText == "Page ";
         }},
        {{"-n2"}, [](const CPdfStamp& j) { return j.stamp.nth == 2; }},
        {{"-seq"}, [](const CPdfStamp& j) { return j.stamp.sequential; }},
        {{"-r"}, [](const CPdfStamp& j) { return j.stamp.reverse; }},
        {{"-one"}, [](const CPdfStamp& j) { return j.stamp.numberOnly; }},
        {{"-2up"}, [](const CPdfStamp& j) { return j.stamp.twoUp; }},
        {{"-ab2"}, [](const CPdfStamp& j) { return j.stamp.abTwoUp; }},
        {{"-rom"}, [](const CPdfStamp& j) { return j.stamp.lowerRoman && !j.stamp.reverse; }},
        {{"-ROM"}, [](const CPdfStamp& j) { return j.stamp.upperRoman && !j.stamp.reverse; }},
        {{"-export", "count.txt"}, [](const CPdfStamp& j) { return j.exportFile == "count.txt"; }},
        {{"-import", "in.txt"}, [](const CPdfStamp& j) { return j.importFile == "in.txt"; }},
        // The list settings are the pre-scan's: the parser only takes their values away.
        {{"-listdelim", "-r"}, [](const CPdfStamp& j) { return !j.stamp.reverse; }},
        {{"-listsep", "-r"}, [](const CPdfStamp& j) { return !j.stamp.reverse; }},
        {{"-listusecol", "-r"}, [](const CPdfStamp& j) { return !j.stamp.reverse; }},
        {{"-pagesize", "0,0,612,792"},
         [](const CPdfStamp& j) { return j.stamp.pageSizeText == "0,0,612,792"; }},
        {{"-nopg"}, [](const CPdfStamp& j) { return j.stamp.noPageNumbers; }},
        {{"-removesourcefile"}, [](const CPdfStamp& j) { return j.removeSource; }},
        {{"-prefix", "No. "}, [](const CPdfStamp& j) { return j.stamp.prefixText == "No. "; }},
        {{"-sep", " of "}, [](const CPdfStamp& j) { return j.stamp.separatorText == " of "; }},
        {{"-end", " Pages"}, [](const CPdfStamp& j) { return j.stamp.endText == " Pages"; }},
        {{"-font", "Courier"}, [](const CPdfStamp& j) { return j.stamp.fontName == "Courier"; }},
        {{"-fontfile", "m.txt"},
         [](const CPdfStamp& j) { return j.stamp.fontMetricsFile == "m.txt"; }},
        {{"-colorFF00aa"}, [](const CPdfStamp& j) { return j.stamp.rgbColor == 0xFF00AAu; }},
        {{"-CMYKcolor0A0B0C0D"},
         [](const CPdfStamp& j) { return j.stamp.cmykColor == 0x0A0B0C0Du; }},
        {{"-size14"}, [](const CPdfStamp& j) { return j.stamp.baseSize == 14; }},
        {{"-sizefile", "s.txt"},
         [](const CPdfStamp& j) { return j.stamp.fontSizesFile == "s.txt"; }},
        {{"-angle45"}, [](const CPdfStamp& j) { return j.stamp.angle == 45; }},
        {{"-noforce"}, [](const CPdfStamp& j) { return !j.stamp.forcePortrait; }},
        {{"-pos30,40"},
         [](const CPdfStamp& j) { return j.stamp.positionX == 30 && j.stamp.positionY == 40; }},
        {{"-flipv"}, [](const CPdfStamp& j) { return j.stamp.flipVertical; }},
        {{"-fliph"}, [](const CPdfStamp& j) { return j.stamp.flipHorizontal; }},
        {{"-align", "right"}, [](const CPdfStamp& j) { return j.stamp.alignment == "right"; }},
        // Matched in any letter case, "centre" as "center"; another word is kept (and acts as
        // "right").
        {{"-align", "Centre"}, [](const CPdfStamp& j) { return j.stamp.alignment == "center"; }},
        {{"-align", "LEFT"}, [](const CPdfStamp& j) { return j.stamp.alignment == "left"; }},
        {{"-align", "middle"}, [](const CPdfStamp& j) { return j.stamp.alignment == "middle"; }},
        {{"-rename", "[FILETITLE]_x.pdf"},
         [](const CPdfStamp& j) { return j.renamePattern == "[FILETITLE]_x.pdf"; }},
        {{"-opacity30"}, [](const CPdfStamp& j) { return j.stamp.opacity == 30; }},
        {{"-textfile", "t.txt"}, [](const CPdfStamp& j) { return j.textLinesFile == "t.txt"; }},
        {{"-linespace15"}, [](const CPdfStamp& j) { return j.lineSpacing == 15; }},
        {{"-quiet"}, [](const CPdfStamp& j) { return j.quiet; }},
    });
}

TEST(OptionsTest, MatchForms) {
    expectOptions({
        // number forms: scanf-like reading, trailing characters ignored
        {{"-size12x"}, [](const CPdfStamp& j) { return j.stamp.baseSize == 12; }},
        {{"-sizex"},
         [](const CPdfStamp& j) { return j.stamp.baseSize == 11 && j.stamp.startPage == 1; }},
        {{"-s 5"}, [](const CPdfStamp& j) { return j.stamp.startPage == 5; }},
        {{"-s-3"}, [](const CPdfStamp& j) { return j.stamp.startPage == -3; }},
        {{"-e+4"}, [](const CPdfStamp& j) { return j.stamp.endPage == 4; }},
        {{"-s-"}, [](const CPdfStamp& j) { return j.stamp.startPage == 1; }},
        {{"-s99999999999"},
         [](const CPdfStamp& j) {
             return j.stamp.startPage == std::numeric_limits<int32_t>::max();
         }},
        {{"-s-99999999999"},
         [](const CPdfStamp& j) {
             return j.stamp.startPage == std::numeric_limits<int32_t>::min();
         }},
        {{"-ns"}, [](const CPdfStamp& j) { return j.stamp.startNumber == 1 && j.stamp.nth == 0; }},
        {{"-m"}, [](const CPdfStamp& j) { return j.stamp.maskWidth == 0; }},
        {{"-opacity"}, [](const CPdfStamp& j) { return j.stamp.opacity == 100; }},
        {{"-opacity250"}, [](const CPdfStamp& j) { return j.stamp.opacity == 100; }},
        {{"-opacity-5"}, [](const CPdfStamp& j) { return j.stamp.opacity == 0; }},
        // hexadecimal colours
        {{"-color ff"}, [](const CPdfStamp& j) { return j.stamp.rgbColor == 0xFFu; }},
        {{"-color0x00FF00"}, [](const CPdfStamp& j) { return j.stamp.rgbColor == 0x00FF00u; }},
        {{"-colorGG"}, [](const CPdfStamp& j) { return j.stamp.rgbColor == 0u; }},
        {{"-color123456789"}, [](const CPdfStamp& j) { return j.stamp.rgbColor == 0xFFFFFFFFu; }},
        // -pos needs both numbers
        {{"-pos20"},
         [](const CPdfStamp& j) { return j.stamp.positionX == 20 && j.stamp.positionY == 10; }},
        {{"-pos50"},
         [](const CPdfStamp& j) { return j.stamp.positionX == 20 && j.stamp.positionY == 10; }},
        {{"-pos50,"},
         [](const CPdfStamp& j) { return j.stamp.positionX == 20 && j.stamp.positionY == 10; }},
        {{"-pos50 ,60"}, [](const CPdfStamp& j) { return j.stamp.positionX == 20; }},
        {{"-pos50, 60"},
         [](const CPdfStamp& j) { return j.stamp.positionX == 50 && j.stamp.positionY == 60; }},
        {{"-pos-1,-1"},
         [](const CPdfStamp& j) { return j.stamp.positionX == -1 && j.stamp.positionY == -1; }},
        // exact forms
        {{"-rx"}, [](const CPdfStamp& j) { return !j.stamp.reverse && !j.stamp.lowerRoman; }},
        {{"-rom"}, [](const CPdfStamp& j) { return !j.stamp.reverse; }},
        {{"-quietly"}, [](const CPdfStamp& j) { return !j.quiet; }},
        {{"-noincrement"},
         [](const CPdfStamp& j) { return j.stamp.startNumber == 1 && !j.stamp.nth; }},
        {{"-unknown", "-r"}, [](const CPdfStamp& j) { return j.stamp.reverse; }},
        // value forms: the next argument, whatever it holds
        {{"-sep", "-prefix"},
         [](const CPdfStamp& j) {
             return j.stamp.separatorText == "-prefix" && j.stamp.prefixText == "Page ";
         }},
        {{"-sep", ""}, [](const CPdfStamp& j) { return j.stamp.separatorText.empty(); }},
        {{"-prefix", "-r"},
         [](const CPdfStamp& j) { return j.stamp.prefixText == "-r" && !j.stamp.reverse; }},
        {{"-prefixx", "-r"},
         [](const CPdfStamp& j) { return j.stamp.prefixText == "Page " && j.stamp.reverse; }},
        {{"-prefix", "A", "-prefix", "B"},
         [](const CPdfStamp& j) { return j.stamp.prefixText == "B"; }},
        {{"-s2", "-s9"}, [](const CPdfStamp& j) { return j.stamp.startPage == 9; }},
        {{"-sep", "[DD]"}, [](const CPdfStamp& j) { return j.stamp.separatorText == "[DD]"; }},
    });
}

TEST(OptionsTest, InputAndOutputNames) {
    CPdfStamp job;
    job.parseOptions({"quillmark", "-ic:\\in\\a.pdf", "-o/tmp/b.pdf"});
    EXPECT_EQ(job.inputName, "c:\\in\\a.pdf");
    EXPECT_EQ(job.outputName, "/tmp/b.pdf");

    CPdfStamp empty;
    empty.parseOptions({"quillmark", "-i", "-o"});
    EXPECT_EQ(empty.inputName, "");
    EXPECT_EQ(empty.outputName, "");
}

TEST(OptionsTest, RefusedCommandLines) {
    struct Refusal {
        std::vector<std::string> args;
        const char* message;
    };
    const Refusal cases[] = {
        {{"quillmark"}, "Error parameter, less than 3 arguments.\n"},
        {{"quillmark", "-ia.pdf"}, "Error parameter, less than 3 arguments.\n"},
        {{"quillmark", "a.pdf", "-ob.pdf"}, "-i parameter missing"},
        {{"quillmark", "", "-ob.pdf"}, "-i parameter missing"},
        {{"quillmark", "-", "-ob.pdf"}, "-i parameter missing"},
        {{"quillmark", "-ia.pdf", "b.pdf"}, "-o parameter missing"},
        {{"quillmark", "-ia.pdf", "-fout"}, "-o parameter missing"},
        {{"quillmark", "-ia.pdf", "-ob.pdf", "foo"},
         "Error parameter, no -, arg: foo, argument: 3\n"},
        {{"quillmark", "-ia.pdf", "-ob.pdf", "-r", ""},
         "Error parameter, no -, arg: , argument: 4\n"},
        {{"quillmark", "-ia.pdf", "-ob.pdf", "-s1", "-e2", "x y"},
         "Error parameter, no -, arg: x y, argument: 5\n"},
    };
    for (const Refusal& c : cases) {
        EXPECT_EQ(parseFailure(c.args), c.message) << "argument count " << c.args.size();
    }
}

TEST(OptionsTest, ValueOptionAsLastArgumentIsRefused) {
    for (const char* option :
         {"-export", "-import", "-listdelim", "-listsep", "-listusecol", "-pagesize", "-prefix",
          "-sep", "-end", "-font", "-fontfile", "-sizefile", "-align", "-rename", "-textfile"}) {
        EXPECT_EQ(parseFailure(commandLine({"-r", option})),
                  std::string("Error parameter, missing value after: ") + option + "\n")
            << option;
    }
}

// The pre-scan reads -quiet and the list settings from every argument, values included; a
// value option at the end leaves its setting empty.
TEST(OptionsTest, PreScanTakesItsSettingsFromTheTable) {
    const OptionTable::PreScan scan =
        OptionTable::preScan({"quillmark", "-ilist.txt", "-fout", "-listdelim", ",", "-prefix",
                              "-quiet", "-listsep", "/", "-listusecol"});
    EXPECT_TRUE(scan.quiet);
    EXPECT_EQ(scan.list.delimiter, ",");
    EXPECT_EQ(scan.list.separator, "/");
    EXPECT_EQ(scan.list.columns, "");
    const OptionTable::PreScan none = OptionTable::preScan({"quillmark", "-ia.pdf", "-ob.pdf"});
    EXPECT_FALSE(none.quiet);
    EXPECT_TRUE(none.list.delimiter.empty() && none.list.separator.empty());
}

// The words of a list variable of the bash completion ("_quillmark_file_values=\"…\"").
std::set<std::string> completionWords(const std::string& script, const std::string& variable) {
    const size_t start = script.find(variable + "=\"");
    EXPECT_NE(start, std::string::npos) << variable;
    if (start == std::string::npos) {
        return {};
    }
    const size_t from = start + variable.size() + 2;
    std::istringstream words(script.substr(from, script.find('"', from) - from));
    std::set<std::string> result;
    for (std::string word; words >> word;) {
        result.insert(word);
    }
    return result;
}

// The bash completion offers each option of the table in the list of its form, and no other
// option of the table; the manual page and the README describe every option of the table.
TEST(OptionsTest, CompletionAndDocumentsFollowTheTable) {
    std::map<std::string, std::set<std::string>> expected;
    std::vector<std::string> words;
    for (const OptionTable::Row& row : OptionTable::rows()) {
        const char* list = "_quillmark_exact_options";
        if (row.form == OptionTable::Form::Value) {
            list = row.value == OptionTable::ValueKind::File ? "_quillmark_file_values"
                                                             : "_quillmark_text_values";
        } else if (row.form != OptionTable::Form::Exact) {
            list = "_quillmark_number_options";
        }
        expected[list].insert(row.word);
        words.emplace_back(row.word);
    }
    const std::string source = QUILLMARK_SOURCE_DIR;
    const std::string completion = TempDir::read(source + "/dist/quillmark.bash-completion");
    for (const auto& [variable, options] : expected) {
        std::set<std::string> offered = completionWords(completion, variable);
        EXPECT_EQ(offered, options) << variable;
    }
    const std::string manual = TempDir::read(source + "/dist/quillmark.1.in");
    const std::string readme = TempDir::read(source + "/README.md");
    for (const std::string& word : words) {
        // "\-word" in the manual page and "| `-word" at the start of a README table row, each
        // followed by what the option takes or by its end.
        auto named = [&word](const std::string& text, const std::string& start) {
            for (size_t at = text.find(start); at != std::string::npos;
                 at = text.find(start, at + 1)) {
                const char next = text[at + start.size()];
                if (next == ' ' || next == '"' || next == '\n' || next == '<' || next == '`') {
                    return true;
                }
            }
            return false;
        };
        EXPECT_TRUE(named(manual, "\\-" + word.substr(1))) << word;
        EXPECT_TRUE(named(readme, "| `" + word)) << word;
    }
}

} // namespace
