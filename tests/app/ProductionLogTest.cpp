// The production log's file: RFC 4180 quoting of its fields, the header row only at the start of
// a new or empty file, rows appended after what is there, and a log that cannot be written.
#include "app/ProductionLog.h"
#include "pdf/CPdfException.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

const std::string kHeader = "input,output,status,pages,stamped pages,first number,last number,"
                            "first text,last text,update,repaired,cause\r\n";

TEST(ProductionLogTest, FieldsAreQuotedAsSpreadsheetsReadThem) {
    struct Case {
        const char* name;
        std::vector<std::string> fields;
        std::string line;
    };
    const std::vector<Case> cases = {
        {"plain fields", {"a.pdf", "ABC000001", ""}, "a.pdf,ABC000001,\r\n"},
        {"a comma", {"Smith, J", "x"}, "\"Smith, J\",x\r\n"},
        {"quotes doubled", {"say \"hi\""}, "\"say \"\"hi\"\"\"\r\n"},
        {"a quote alone", {"\""}, "\"\"\"\"\r\n"},
        {"line ends inside",
         {"one\r\ntwo", "a\rb", "c\nd"},
         "\"one\r\ntwo\",\"a\rb\",\"c\nd\"\r\n"},
        {"blanks, semicolons and UTF-8 as they are",
         {" M\xC3\xBCller; A ", "\xE2\x80\x93"},
         " M\xC3\xBCller; A ,\xE2\x80\x93\r\n"},
        {"one empty field", {""}, "\r\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ProductionLog::csvLine(c.fields), c.line) << c.name;
    }
}

// A cell a spreadsheet would read as a formula is written as text; numbers stay numbers.
TEST(ProductionLogTest, FormulaCellsAreWrittenAsText) {
    struct Case {
        const char* name;
        std::string text;
        std::string field;
    };
    const std::vector<Case> cases = {
        {"equals sign", "=1+1", "'=1+1"},
        {"plus sign", "+cmd", "'+cmd"},
        {"minus sign before text", "-2+3", "'-2+3"},
        {"at sign", "@SUM(A1)", "'@SUM(A1)"},
        {"tab", "\tx", "'\tx"},
        {"carriage return", "\rx", "'\rx"},
        {"negative number", "-12", "-12"},
        {"minus sign alone", "-", "'-"},
        {"sign inside", "a=b", "a=b"},
        {"empty", "", ""},
    };
    for (const Case& c : cases) {
        ProductionLog::Row row;
        row.input = c.text;
        row.output = c.text;
        row.stamped = true;
        row.pass.stampedPages = 1;
        row.pass.firstNumber = -12;
        row.pass.firstText = c.text;
        row.pass.lastText = c.text;
        row.cause = c.text;
        const std::vector<std::string> fields = ProductionLog::fields(row);
        for (const size_t column : {0u, 1u, 7u, 8u, 11u}) {
            EXPECT_EQ(fields[column], c.field) << c.name << ", column " << column;
        }
        EXPECT_EQ(fields[5], "-12") << c.name;
        row.stamped = false;
        EXPECT_EQ(ProductionLog::fields(row)[11], c.field) << c.name << ", failed";
    }
}

TEST(ProductionLogTest, HeaderOnlyAtTheStartOfANewOrEmptyFile) {
    ProductionLog::Row stamped;
    stamped.input = "in, 1.pdf";
    stamped.output = "out/ABC000001-ABC000003.pdf";
    stamped.stamped = true;
    stamped.pass.pages = 4;
    stamped.pass.stampedPages = 3;
    stamped.pass.firstNumber = 1;
    stamped.pass.lastNumber = 3;
    stamped.pass.firstText = "ABC000001";
    stamped.pass.lastText = "ABC000003";
    stamped.pass.update = true;
    const std::string stampedLine = "\"in, 1.pdf\",out/ABC000001-ABC000003.pdf,stamped,4,3,1,3,"
                                    "ABC000001,ABC000003,yes,no,\r\n";
    ProductionLog::Row failed;
    failed.input = "bad.pdf";
    failed.pass.pages = 9;
    failed.cause = "PDF file was damaged: \"startxref\" not found";
    const std::string failedLine =
        "bad.pdf,,failed,,,,,,,,,\"PDF file was damaged: \"\"startxref\"\" not found\"\r\n";

    struct Case {
        const char* name;
        bool exists;
        std::string before;
    };
    const std::string bom = "\xEF\xBB\xBF";
    for (const Case& c : std::vector<Case>{
             {"new file", false, ""},
             {"empty file", true, ""},
             {"earlier run's rows", true, bom + kHeader + failedLine},
             {"last line without its line end", true, bom + kHeader + "edited,by,hand"}}) {
        TempDir folder;
        const std::string name = folder.file("log.csv");
        if (c.exists) {
            folder.write("log.csv", c.before);
        }
        const ProductionLog log(name);
        ASSERT_TRUE(log.enabled());
        log.start();
        const std::string header = c.before.empty() ? bom + kHeader : "";
        EXPECT_EQ(TempDir::read(name), c.before + header) << c.name;
        log.append(stamped);
        log.append(failed);
        // A row never continues a line that was left open.
        const std::string lineEnd = c.before.ends_with('\n') || c.before.empty() ? "" : "\r\n";
        EXPECT_EQ(TempDir::read(name), c.before + header + lineEnd + stampedLine + failedLine)
            << c.name;
    }
    EXPECT_FALSE(ProductionLog().enabled());
}

TEST(ProductionLogTest, ALogThatCannotBeWrittenThrows) {
    TempDir folder;
    std::filesystem::create_directory(folder.file("folder.csv"));
    for (const std::string& name : {folder.file("folder.csv"), folder.file("nodir/log.csv")}) {
        const ProductionLog log(name);
        try {
            log.start();
            ADD_FAILURE() << name << ": no failure";
        } catch (const CPdfException& e) {
            EXPECT_EQ(e.message(), "\nLog file write error: '" + name + "'\n");
            const std::string cause = "Can't write the log file '" + name + "': ";
            EXPECT_EQ(e.cause().substr(0, cause.size()), cause) << e.cause();
            EXPECT_GT(e.cause().size(), cause.size()) << name;
        }
    }
    EXPECT_FALSE(std::filesystem::exists(folder.file("nodir")));
}

} // namespace
