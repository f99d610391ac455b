#include "app/Placeholders.h"
#include "platform/Platform.h"
#include "stamp/pass/CPdfStamp.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::tm makeTime(int year, int month, int day, int hour, int minute, int second, int weekday) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_wday = weekday;
    return tm;
}

// Fixes "now" at Monday 7 December 2026, 09:05:03, and the input's times.
class PlaceholdersTest : public ::testing::Test {
  protected:
    void SetUp() override {
        platform::setNowForTesting([] {
            platform::LocalTime now;
            now.tm = makeTime(2026, 12, 7, 9, 5, 3, 1);
            return now;
        });
        platform::setFileTimesForTesting([this](const std::string& path, platform::FileTimes& out) {
            askedFor = path;
            if (!fileTimesReadable) {
                return false;
            }
            out.modified = makeTime(2025, 3, 14, 15, 9, 26, 5);
            out.created = makeTime(2024, 1, 2, 3, 4, 5, 2);
            return true;
        });
    }
    void TearDown() override {
        platform::setNowForTesting({});
        platform::setFileTimesForTesting({});
    }

    bool fileTimesReadable = true;
    std::string askedFor;
};

TEST_F(PlaceholdersTest, ExpandsEachPlaceholder) {
    struct Case {
        const char* text;
        const char* input;
        const char* expected;
    };
    const Case cases[] = {
        {"[FILETITLE] [DD]/[MM]/[YYYY]", "c:\\in\\report.pdf", "report 07/12/2026"},
        {"[FILENAME]", "c:\\in\\a.pdf", "c:\\\\in\\\\a.pdf"},
        {"x\\y [FILENAME]", "a.pdf", "x\\\\y a.pdf"},
        {"[DD][DD]", "a.pdf", "07[DD]"},
        {"[hh]:[mm]:[ss]", "a.pdf", "09:05:03"},
        {"[YYYY]-[MM]-[DD] [YYYY]", "a.pdf", "2026-12-07 [YYYY]"},
        {"[FILEMODDATE]", "a.pdf", "Fri Mar 14 15:09:26 2025\n"},
        {"[FILECREATEDATE]|", "a.pdf", "Tue Jan  2 03:04:05 2024\n|"},
        {"[FILETITLE]", "/home/u/scan.2026.pdf", "scan.2026"},
        {"[FILETITLE]", "dir\\sub/mixed.pdf", "mixed"},
        {"[FILETITLE]", "report", "re"},
        {"[FILETITLE]", "c:\\in\\abcd", ""},
        {"<[FILETITLE]>", "c:\\in\\a.p", "<>"},
        {"<[FILETITLE]>", "", "<>"},
        {"<[FILETITLE]>", "folder/", "<>"},
        {"no placeholders \\ here", "a.pdf", "no placeholders \\ here"},
        {"[dd] [FILE]", "a.pdf", "[dd] [FILE]"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(placeholders::expand(c.text, c.input), c.expected)
            << c.text << " for " << c.input;
    }
}

TEST_F(PlaceholdersTest, FileTimesOfTheInputAreRead) {
    placeholders::expand("[DD]", "c:\\in\\x.pdf");
    EXPECT_EQ(askedFor, "c:\\in\\x.pdf");
}

TEST_F(PlaceholdersTest, UnreadableFileTimesLeaveEmptyDates) {
    fileTimesReadable = false;
    testing::internal::CaptureStderr();
    std::string text = placeholders::expand("<[FILEMODDATE]|[FILECREATEDATE]> [DD]", "a.pdf");
    std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_EQ(text, "<|> 07");
    EXPECT_EQ(errors.rfind("Problem getting file date information\n", 0), 0u) << errors;
    EXPECT_GT(errors.size(), std::string("Problem getting file date information\n").size());

    // The run goes on with empty dates but ends with status 1.
    CPdfStamp job;
    testing::internal::CaptureStderr();
    job.parseOptions({"quillmark", "-ia.pdf", "-oout.pdf", "-end", "[FILEMODDATE]"});
    testing::internal::GetCapturedStderr();
    EXPECT_TRUE(job.softFailure);
}

// Standard input (-i-) has no file dates: a text without date placeholders expands without a
// word, one with them says so; the dates of a file named "-" are never read.
TEST_F(PlaceholdersTest, StandardInputHasNoFileDates) {
    struct Case {
        const char* text;
        const char* expected;
        const char* errors;
    };
    const Case cases[] = {
        {"[DD] [FILENAME] [FILETITLE]", "07 - ", ""},
        {"<[FILEMODDATE]|[FILECREATEDATE]> [DD]", "<|> 07",
         "Problem getting file date information\n'-': standard input has no file dates\n"},
    };
    for (const Case& c : cases) {
        askedFor.clear();
        bool missing = false;
        testing::internal::CaptureStderr();
        const std::string text = placeholders::expand(c.text, "-", &missing);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.errors) << c.text;
        EXPECT_EQ(text, c.expected) << c.text;
        EXPECT_EQ(missing, *c.errors != '\0') << c.text;
        EXPECT_EQ(askedFor, "") << c.text;
    }
}

TEST_F(PlaceholdersTest, OptionParserExpandsPrefixAndEndOnly) {
    CPdfStamp job;
    job.parseOptions({"quillmark", "-ic:\\in\\report.pdf", "-oout.pdf", "-end",
                      "[FILETITLE] [DD]/[MM]/[YYYY]", "-sep", "[DD]"});
    EXPECT_EQ(job.stamp.endText, "report 07/12/2026");
    EXPECT_EQ(job.stamp.prefixText, "Page ");
    EXPECT_EQ(job.stamp.separatorText, "[DD]");

    CPdfStamp second;
    second.parseOptions({"quillmark", "-ic:\\in\\a.pdf", "-oout.pdf", "-prefix", "[FILENAME] ",
                         "-end", "[MM]", "-rename", "[FILETITLE]"});
    EXPECT_EQ(second.stamp.prefixText, "c:\\\\in\\\\a.pdf ");
    EXPECT_EQ(second.stamp.endText, "12");
    EXPECT_FALSE(second.softFailure);
    EXPECT_EQ(second.renamePattern, "[FILETITLE]");
}

TEST(CtimeLayoutTest, FormatsLikeTheCLibrary) {
    struct Case {
        std::tm time;
        const char* expected;
    };
    const Case cases[] = {
        {makeTime(1970, 1, 1, 0, 0, 0, 4), "Thu Jan  1 00:00:00 1970\n"},
        {makeTime(2022, 12, 31, 23, 59, 59, 6), "Sat Dec 31 23:59:59 2022\n"},
        {makeTime(2026, 12, 7, 9, 5, 3, 1), "Mon Dec  7 09:05:03 2026\n"},
        {makeTime(2000, 6, 15, 12, 30, 0, 0), "Sun Jun 15 12:30:00 2000\n"},
    };
    for (const Case& c : cases) {
        std::string text = placeholders::formatCtime(c.time);
        EXPECT_EQ(text, c.expected);
        EXPECT_EQ(text.size(), 25u) << c.expected;
    }
}

} // namespace
