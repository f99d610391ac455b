#include "pdf/CPdfException.h"
#include "stamp/CPdfStamp.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>
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
    CPdfStamp job;
    EXPECT_EQ(job.startPage, 1);
    EXPECT_EQ(job.endPage, 99999);
    EXPECT_EQ(job.startNumber, 1);
    EXPECT_EQ(job.endNumber, 99999);
    EXPECT_EQ(job.maskWidth, 0);
    EXPECT_EQ(job.nth, 0);
    EXPECT_EQ(job.currentSize, 11);
    EXPECT_EQ(job.baseSize, 11);
    EXPECT_EQ(job.angle, 0);
    EXPECT_FALSE(job.sequential || job.reverse || job.twoUp || job.abTwoUp || job.numberOnly ||
                 job.lowerRoman || job.upperRoman || job.noPageNumbers || job.flipVertical ||
                 job.flipHorizontal || job.quiet || job.removeSource);
    EXPECT_TRUE(job.forcePortrait);
    EXPECT_EQ(job.prefixText, "Page ");
    EXPECT_EQ(job.separatorText, " / ");
    EXPECT_EQ(job.endText, "");
    EXPECT_EQ(job.fontName, "Arial");
    EXPECT_EQ(job.alignment, "left");
    EXPECT_EQ(job.rgbColor, 0u);
    EXPECT_EQ(job.cmykColor, 0u);
    EXPECT_EQ(job.opacity, 100);
    EXPECT_EQ(job.lineSpacing, 0);
    EXPECT_EQ(job.positionX, 20);
    EXPECT_EQ(job.positionY, 10);
    EXPECT_EQ(job.sizeTable.count, 0);
    for (const std::string* text :
         {&job.exportFile, &job.importFile, &job.renamePattern, &job.fontMetricsFile,
          &job.fontSizesFile, &job.textLinesFile, &job.listDelimiter, &job.listSeparator,
          &job.listColumns, &job.pageSizeText, &job.inputName, &job.outputName}) {
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
        {{"-s3"}, [](const CPdfStamp& j) { return j.startPage == 3; }},
        {{"-e7"}, [](const CPdfStamp& j) { return j.endPage == 7; }},
        {{"-ns5"}, [](const CPdfStamp& j) { return j.startNumber == 5 && j.startPage == 1; }},
        {{"-ne9"}, [](const CPdfStamp& j) { return j.endNumber == 9 && j.nth == 0; }},
        {{"-m4"}, [](const CPdfStamp& j) { return j.maskWidth == 4; }},
        {{"-n2"}, [](const CPdfStamp& j) { return j.nth == 2; }},
        {{"-seq"}, [](const CPdfStamp& j) { return j.sequential; }},
        {{"-r"}, [](const CPdfStamp& j) { return j.reverse; }},
        {{"-one"}, [](const CPdfStamp& j) { return j.numberOnly; }},
        {{"-2up"}, [](const CPdfStamp& j) { return j.twoUp; }},
        {{"-ab2"}, [](const CPdfStamp& j) { return j.abTwoUp; }},
        {{"-rom"}, [](const CPdfStamp& j) { return j.lowerRoman && !j.reverse; }},
        {{"-ROM"}, [](const CPdfStamp& j) { return j.upperRoman && !j.reverse; }},
        {{"-export", "count.txt"}, [](const CPdfStamp& j) { return j.exportFile == "count.txt"; }},
        {{"-import", "in.txt"}, [](const CPdfStamp& j) { return j.importFile == "in.txt"; }},
        {{"-listdelim", ","}, [](const CPdfStamp& j) { return j.listDelimiter == ","; }},
        {{"-listsep", "/"}, [](const CPdfStamp& j) { return j.listSeparator == "/"; }},
        {{"-listusecol", "1,3"}, [](const CPdfStamp& j) { return j.listColumns == "1,3"; }},
        {{"-pagesize", "0,0,612,792"},
         [](const CPdfStamp& j) { return j.pageSizeText == "0,0,612,792"; }},
        {{"-nopg"}, [](const CPdfStamp& j) { return j.noPageNumbers; }},
        {{"-removesourcefile"}, [](const CPdfStamp& j) { return j.removeSource; }},
        {{"-prefix", "No. "}, [](const CPdfStamp& j) { return j.prefixText == "No. "; }},
        {{"-sep", " of "}, [](const CPdfStamp& j) { return j.separatorText == " of "; }},
        {{"-end", " Pages"}, [](const CPdfStamp& j) { return j.endText == " Pages"; }},
        {{"-font", "Courier"}, [](const CPdfStamp& j) { return j.fontName == "Courier"; }},
        {{"-fontfile", "m.txt"}, [](const CPdfStamp& j) { return j.fontMetricsFile == "m.txt"; }},
        {{"-colorFF00aa"}, [](const CPdfStamp& j) { return j.rgbColor == 0xFF00AAu; }},
        {{"-CMYKcolor0A0B0C0D"}, [](const CPdfStamp& j) { return j.cmykColor == 0x0A0B0C0Du; }},
        {{"-size14"}, [](const CPdfStamp& j) { return j.baseSize == 14 && j.currentSize == 14; }},
        {{"-sizefile", "s.txt"}, [](const CPdfStamp& j) { return j.fontSizesFile == "s.txt"; }},
        {{"-angle45"}, [](const CPdfStamp& j) { return j.angle == 45; }},
        {{"-noforce"}, [](const CPdfStamp& j) { return !j.forcePortrait; }},
        {{"-pos30,40"}, [](const CPdfStamp& j) { return j.positionX == 30 && j.positionY == 40; }},
        {{"-flipv"}, [](const CPdfStamp& j) { return j.flipVertical; }},
        {{"-fliph"}, [](const CPdfStamp& j) { return j.flipHorizontal; }},
        {{"-align", "right"}, [](const CPdfStamp& j) { return j.alignment == "right"; }},
        {{"-rename", "[FILETITLE]_x.pdf"},
         [](const CPdfStamp& j) { return j.renamePattern == "[FILETITLE]_x.pdf"; }},
        {{"-opacity30"}, [](const CPdfStamp& j) { return j.opacity == 30; }},
        {{"-textfile", "t.txt"}, [](const CPdfStamp& j) { return j.textLinesFile == "t.txt"; }},
        {{"-linespace15"}, [](const CPdfStamp& j) { return j.lineSpacing == 15; }},
        {{"-quiet"}, [](const CPdfStamp& j) { return j.quiet; }},
    });
}

TEST(OptionsTest, MatchForms) {
    expectOptions({
        // number forms: scanf-like reading, trailing characters ignored
        {{"-size12x"}, [](const CPdfStamp& j) { return j.baseSize == 12 && j.currentSize == 12; }},
        {{"-sizex"}, [](const CPdfStamp& j) { return j.baseSize == 11 && j.startPage == 1; }},
        {{"-s 5"}, [](const CPdfStamp& j) { return j.startPage == 5; }},
        {{"-s-3"}, [](const CPdfStamp& j) { return j.startPage == -3; }},
        {{"-e+4"}, [](const CPdfStamp& j) { return j.endPage == 4; }},
        {{"-s-"}, [](const CPdfStamp& j) { return j.startPage == 1; }},
        {{"-s99999999999"},
         [](const CPdfStamp& j) { return j.startPage == std::numeric_limits<int32_t>::max(); }},
        {{"-s-99999999999"},
         [](const CPdfStamp& j) { return j.startPage == std::numeric_limits<int32_t>::min(); }},
        {{"-ns"}, [](const CPdfStamp& j) { return j.startNumber == 1 && j.nth == 0; }},
        {{"-m"}, [](const CPdfStamp& j) { return j.maskWidth == 0; }},
        {{"-opacity"}, [](const CPdfStamp& j) { return j.opacity == 100; }},
        {{"-opacity250"}, [](const CPdfStamp& j) { return j.opacity == 100; }},
        {{"-opacity-5"}, [](const CPdfStamp& j) { return j.opacity == 0; }},
        // hexadecimal colours
        {{"-color ff"}, [](const CPdfStamp& j) { return j.rgbColor == 0xFFu; }},
        {{"-color0x00FF00"}, [](const CPdfStamp& j) { return j.rgbColor == 0x00FF00u; }},
        {{"-colorGG"}, [](const CPdfStamp& j) { return j.rgbColor == 0u; }},
        {{"-color123456789"}, [](const CPdfStamp& j) { return j.rgbColor == 0xFFFFFFFFu; }},
        // -pos needs both numbers
        {{"-pos20"}, [](const CPdfStamp& j) { return j.positionX == 20 && j.positionY == 10; }},
        {{"-pos50"}, [](const CPdfStamp& j) { return j.positionX == 20 && j.positionY == 10; }},
        {{"-pos50,"}, [](const CPdfStamp& j) { return j.positionX == 20 && j.positionY == 10; }},
        {{"-pos50 ,60"}, [](const CPdfStamp& j) { return j.positionX == 20; }},
        {{"-pos50, 60"}, [](const CPdfStamp& j) { return j.positionX == 50 && j.positionY == 60; }},
        {{"-pos-1,-1"}, [](const CPdfStamp& j) { return j.positionX == -1 && j.positionY == -1; }},
        // exact forms
        {{"-rx"}, [](const CPdfStamp& j) { return !j.reverse && !j.lowerRoman; }},
        {{"-rom"}, [](const CPdfStamp& j) { return !j.reverse; }},
        {{"-quietly"}, [](const CPdfStamp& j) { return !j.quiet; }},
        {{"-noincrement"}, [](const CPdfStamp& j) { return j.startNumber == 1 && !j.nth; }},
        {{"-unknown", "-r"}, [](const CPdfStamp& j) { return j.reverse; }},
        // value forms: the next argument, whatever it holds
        {{"-sep", "-prefix"},
         [](const CPdfStamp& j) {
             return j.separatorText == "-prefix" && j.prefixText == "Page ";
         }},
        {{"-sep", ""}, [](const CPdfStamp& j) { return j.separatorText.empty(); }},
        {{"-prefix", "-r"}, [](const CPdfStamp& j) { return j.prefixText == "-r" && !j.reverse; }},
        {{"-prefixx", "-r"},
         [](const CPdfStamp& j) { return j.prefixText == "Page " && j.reverse; }},
        {{"-prefix", "A", "-prefix", "B"}, [](const CPdfStamp& j) { return j.prefixText == "B"; }},
        {{"-s2", "-s9"}, [](const CPdfStamp& j) { return j.startPage == 9; }},
        {{"-sep", "[DD]"}, [](const CPdfStamp& j) { return j.separatorText == "[DD]"; }},
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

} // namespace
