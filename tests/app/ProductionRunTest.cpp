// A production through the real program: a list of documents numbered in one Bates series with
// a counter file, each document's row in the -log file, and -keepgoing lists that go on past
// documents that fail.
#include "RunTestUtil.h"
#include "support/ExternalTools.h"
#include "support/PdfBuilder.h"
#include "support/ProgramRunner.h"
#include "support/TempDir.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace fs = std::filesystem;

using namespace run_test;

namespace {

const std::vector<std::string> kBates = {"-prefix", "ABC", "-m6", "-one", "-sep", ""};
const std::vector<std::string> kHeader = {
    "input",       "output",     "status",    "pages",  "stamped pages", "first number",
    "last number", "first text", "last text", "update", "repaired",      "cause"};

// A document of `pages` pages, each drawing "<tag> p<n>" high on the page.
std::string document(const std::string& tag, int pages) {
    qm_test::PdfBuilder pdf;
    std::string kids;
    for (int i = 0; i < pages; ++i) {
        kids += std::to_string(10 + 2 * i) + " 0 R ";
    }
    pdf.object(1, "<< /Type /Catalog /Pages 2 0 R >>")
        .object(2, "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages) +
                       " /MediaBox [0 0 612 792] >>")
        .object(3, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
    for (int i = 0; i < pages; ++i) {
        pdf.object(10 + 2 * i, "<< /Type /Page /Parent 2 0 R /Contents " +
                                   std::to_string(11 + 2 * i) +
                                   " 0 R /Resources << /Font << /F1 3 0 R >> >> >>")
            .stream(11 + 2 * i, "",
                    "BT /F1 12 Tf 100 750 Td (" + tag + " p" + std::to_string(i + 1) + ") Tj ET");
    }
    pdf.classicXRef();
    return pdf.bytes();
}

// The records of a CSV file as RFC 4180 has them: fields split at commas, a quoted field running
// to its closing quote ("" inside is one quote, and commas and line ends are its own), records
// ended by CR LF. A malformed file fails the test.
std::vector<std::vector<std::string>> readCsv(const std::string& text) {
    std::vector<std::vector<std::string>> records;
    std::vector<std::string> record;
    std::string field;
    // A log starts with the UTF-8 byte order mark, which a reader of UTF-8 passes over.
    EXPECT_EQ(text.substr(0, 3), "\xEF\xBB\xBF") << "no byte order mark in\n" << text;
    size_t i = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    while (i < text.size()) {
        if (text[i] == '"') {
            ++i;
            for (;; ++i) {
                if (i >= text.size()) {
                    ADD_FAILURE() << "unclosed quote in\n" << text;
                    return records;
                }
                if (text[i] == '"') {
                    if (i + 1 < text.size() && text[i + 1] == '"') {
                        field += '"';
                        ++i;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += text[i];
            }
        }
        for (; i < text.size() && text[i] != ',' && text[i] != '\r' && text[i] != '\n'; ++i) {
            EXPECT_NE(text[i], '"') << "quote inside an unquoted field in\n" << text;
            field += text[i];
        }
        record.push_back(field);
        field.clear();
        if (i < text.size() && text[i] == ',') {
            ++i;
            continue;
        }
        EXPECT_EQ(text.substr(i, 2), "\r\n") << "record not ended by CR LF in\n" << text;
        i += 2;
        records.push_back(record);
        record.clear();
    }
    return records;
}

std::string bates(int number) {
    std::string digits = std::to_string(number);
    return "ABC" + std::string(6 - digits.size(), '0') + digits;
}

// The texts pdftotext finds on each page of a stamped document, one string per page.
std::vector<std::string> pageTexts(const std::string& path) {
    std::vector<std::string> pages = tools::pdfTextPages(path, true);
    for (std::string& page : pages) {
        page = tools::normalizeSpace(page);
    }
    return pages;
}

struct Member {
    std::string name;
    int pages; // 0: fails (damaged, missing or unreadable)
};

// Five documents of a production, the third damaged: the list goes on with -keepgoing, the
// series runs on from the last good document, and every document has its row, the stamped
// ones with their final name and their first and last Bates number and text.
TEST(ProductionRunTest, LogIndexesTheSeriesOfAList) {
    const std::vector<Member> members = {
        {"a.pdf", 3}, {"b.pdf", 1}, {"bad.pdf", 0}, {"c, final.pdf", 4}, {"d.pdf", 2}};
    TempDir folder;
    std::string list;
    for (const Member& m : members) {
        folder.write(m.name, m.pages > 0 ? document(m.name, m.pages)
                                         : "%PDF-1.7\n\x01\x02 garbage \xFF\xFE\n");
        list += m.name + "\n";
    }
    folder.write("list.txt", list);
    folder.write("counter.txt", "1");
    // An empty log file (made ready by hand) gets the header first.
    folder.write("log.csv", "");
    ProgramResult first =
        runProgram(withArgs({"-ilist.txt", "-fout", "-import", "counter.txt", "-export",
                             "counter.txt", "-rename", "[FILETITLE]_[PAGESTART]-[PAGEEND].pdf",
                             "-log", "log.csv", "-keepgoing", "-quiet"},
                            kBates),
                   folder.path());
    EXPECT_EQ(first.status, 1) << first.out << first.err;
    EXPECT_EQ(TempDir::read(folder.file("counter.txt")), "11");

    std::vector<std::vector<std::string>> rows = readCsv(TempDir::read(folder.file("log.csv")));
    ASSERT_EQ(rows.size(), members.size() + 1) << TempDir::read(folder.file("log.csv"));
    EXPECT_EQ(rows[0], kHeader);
    int next = 1;
    for (size_t i = 0; i < members.size(); ++i) {
        const Member& m = members[i];
        const std::vector<std::string>& row = rows[i + 1];
        ASSERT_EQ(row.size(), kHeader.size()) << m.name;
        EXPECT_EQ(row[0], m.name);
        if (m.pages == 0) {
            EXPECT_EQ(row[1], "") << m.name;
            EXPECT_EQ(row[2], "failed") << m.name;
            EXPECT_EQ(std::vector<std::string>(row.begin() + 3, row.end() - 1),
                      std::vector<std::string>(8, ""))
                << m.name;
            // The cause as standard error shows it, also to the line.
            EXPECT_NE(row[11], "") << m.name;
            EXPECT_NE(first.err.find(row[11] + "\n"), std::string::npos) << row[11] << "\n"
                                                                         << first.err;
            continue;
        }
        const int last = next + m.pages - 1;
        const std::string title = m.name.substr(0, m.name.size() - 4);
        const std::string output = listOutput("out", title + "_" + bates(next).substr(3) + "-" +
                                                         bates(last).substr(3) + ".pdf");
        EXPECT_EQ(row, (std::vector<std::string>{m.name, output, "stamped", std::to_string(m.pages),
                                                 std::to_string(m.pages), std::to_string(next),
                                                 std::to_string(last), bates(next), bates(last),
                                                 "no", "no", ""}))
            << m.name;
        ASSERT_TRUE(fs::is_regular_file(folder.file(output))) << output;
        if (haveTools()) {
            const std::vector<std::string> texts = pageTexts(folder.file(output));
            ASSERT_EQ(texts.size(), static_cast<size_t>(m.pages)) << output;
            EXPECT_EQ(texts.front(), m.name + " p1 " + row[7]) << output;
            EXPECT_EQ(texts.back(), m.name + " p" + std::to_string(m.pages) + " " + row[8])
                << output;
        }
        next = last + 1;
    }

    // A single run appends its row after them; its text needs quoting.
    ProgramResult single = runProgram({"-ia.pdf", "-oone.pdf", "-log", "log.csv", "-nopg",
                                       "-prefix", "Exhibit \"A\", page", "-sep", "", "-quiet"},
                                      folder.path());
    EXPECT_EQ(single.status, 0) << single.err;
    rows = readCsv(TempDir::read(folder.file("log.csv")));
    ASSERT_EQ(rows.size(), members.size() + 2);
    EXPECT_EQ(rows.back(), (std::vector<std::string>{"a.pdf", "one.pdf", "stamped", "3", "3", "1",
                                                     "3", "Exhibit \"A\", page",
                                                     "Exhibit \"A\", page", "no", "no", ""}));
    if (!haveTools()) {
        GTEST_SKIP() << tools::kJudgesMissing;
    }
}

// Documents with no page stamped (no pages at all, or a one-page cover sheet under -s2) leave
// the series where it was: the next document goes on from the same number, its -rename range
// is refused rather than run backwards, and no output replaces another.
TEST(ProductionRunTest, DocumentsWithoutStampedPagesKeepTheSeries) {
    TempDir folder;
    folder.write("a.pdf", document("a", 3));
    folder.write("empty.pdf", document("empty", 0));
    folder.write("cover.pdf", document("cover", 1));
    folder.write("c.pdf", document("c", 3));
    folder.write("list.txt", "a.pdf\nempty.pdf\nc.pdf\n");
    folder.write("counter.txt", "1");
    const std::vector<std::string> counter = {"-import", "counter.txt", "-export", "counter.txt",
                                              "-log",    "log.csv",     "-quiet"};
    const ProgramResult list =
        runProgram(withArgs(withArgs({"-ilist.txt", "-fout", "-rename",
                                      "ABC[PAGESTART]-ABC[PAGEEND].pdf", "-keepgoing"},
                                     counter),
                            kBates),
                   folder.path());
    EXPECT_EQ(list.status, 1) << list.out << list.err;
    const std::string refused =
        "Rename name refused: the -rename name 'ABC[PAGESTART]-ABC[PAGEEND].pdf' names the first "
        "and last stamped page, but no page of 'empty.pdf' was stamped";
    EXPECT_EQ(list.err, refused + "\n");
    EXPECT_EQ(TempDir::read(folder.file("counter.txt")), "7");
    const std::string first = bates(1) + "-" + bates(3) + ".pdf";
    const std::string second = bates(4) + "-" + bates(6) + ".pdf";
    EXPECT_EQ(listing(folder.file("out")), (std::vector<std::string>{first, second}));

    // Single runs on the same counter: the skipped cover sheet and the empty document are
    // stamped with nothing and keep the number for the next document.
    struct Step {
        const char* input;
        std::vector<std::string> options;
        std::string counterAfter;
    };
    const std::vector<Step> steps = {
        {"cover.pdf", {"-s2"}, "7"}, {"empty.pdf", {}, "7"}, {"a.pdf", {}, "10"}};
    for (const Step& step : steps) {
        const ProgramResult run = runProgram(
            withArgs(withArgs({std::string("-i") + step.input, std::string("-oone-") + step.input},
                              withArgs(counter, step.options)),
                     kBates),
            folder.path());
        EXPECT_EQ(run.status, 0) << step.input << run.err;
        EXPECT_EQ(TempDir::read(folder.file("counter.txt")), step.counterAfter) << step.input;
    }

    const std::vector<std::vector<std::string>> rows =
        readCsv(TempDir::read(folder.file("log.csv")));
    const std::vector<std::vector<std::string>> expected = {
        kHeader,
        {"a.pdf", listOutput("out", first), "stamped", "3", "3", "1", "3", bates(1), bates(3), "no",
         "no", ""},
        {"empty.pdf", "", "failed", "", "", "", "", "", "", "", "", refused},
        {"c.pdf", listOutput("out", second), "stamped", "3", "3", "4", "6", bates(4), bates(6),
         "no", "no", ""},
        {"cover.pdf", "one-cover.pdf", "stamped", "1", "0", "", "", "", "", "no", "no", ""},
        {"empty.pdf", "one-empty.pdf", "stamped", "0", "0", "", "", "", "", "no", "no", ""},
        {"a.pdf", "one-a.pdf", "stamped", "3", "3", "7", "9", bates(7), bates(9), "no", "no", ""},
    };
    EXPECT_EQ(rows, expected);
    if (!haveTools()) {
        GTEST_SKIP() << tools::kJudgesMissing;
    }
    const std::vector<std::pair<std::string, std::vector<std::string>>> judged = {
        {"out/" + first, {"a p1 " + bates(1), "a p2 " + bates(2), "a p3 " + bates(3)}},
        {"out/" + second, {"c p1 " + bates(4), "c p2 " + bates(5), "c p3 " + bates(6)}},
        {"one-cover.pdf", {"cover p1"}},
        {"one-a.pdf", {"a p1 " + bates(7), "a p2 " + bates(8), "a p3 " + bates(9)}},
    };
    for (const auto& [output, texts] : judged) {
        EXPECT_EQ(pageTexts(folder.file(output)), texts) << output;
    }
}

// A list with a damaged, an unreadable and a missing document among good ones: every good one is
// stamped, numbered on from the one before; the failed ones leave no output and no temporary
// file; the list ends with its summary and status 1. Without -keepgoing the list would have
// ended at the damaged one.
TEST(ProductionRunTest, KeepGoingListGoesPastFailedDocuments) {
    bool unreadable = true;
#ifdef _WIN32
    unreadable = false; // no permission bits that keep the owner out
#else
    unreadable = geteuid() != 0; // root reads any file
#endif
    std::vector<Member> members = {{"g1.pdf", 2}, {"damaged.pdf", 0}, {"g2.pdf", 3}};
    if (unreadable) {
        members.push_back({"locked.pdf", 0});
    }
    members.push_back({"missing.pdf", 0});
    members.push_back({"g3.pdf", 1});
    for (bool quiet : {false, true}) {
        TempDir folder;
        std::string list;
        for (const Member& m : members) {
            if (m.name == "damaged.pdf") {
                folder.write(m.name, std::string("\x89garbage\x00\xFF bytes", 16));
            } else if (m.name == "locked.pdf") {
                folder.write(m.name, document("locked", 2));
                fs::permissions(folder.file(m.name), fs::perms::none);
            } else if (m.pages > 0) {
                folder.write(m.name, document(m.name, m.pages));
            }
            list += m.name + "\r\n";
        }
        folder.write("list.txt", list);
        folder.write("counter.txt", "5");
        std::vector<std::string> args = withArgs({"-ilist.txt", "-fout", "-keepgoing", "-import",
                                                  "counter.txt", "-export", "counter.txt"},
                                                 kBates);
        if (quiet) {
            args.push_back("-quiet");
        }
        ProgramResult result = runProgram(args, folder.path());
        const std::string label = quiet ? "quiet" : "not quiet";
        const size_t failed = unreadable ? 3 : 2;
        const std::string summary = "Stamped 3 of " + std::to_string(members.size()) + " files; " +
                                    std::to_string(failed) + " failed\n";
        ASSERT_GE(result.out.size(), summary.size()) << label;
        EXPECT_EQ(result.out.substr(result.out.size() - summary.size()), summary) << label << "\n"
                                                                                  << result.out;
        EXPECT_EQ(result.status, 1) << label;
        for (const char* name : {"damaged.pdf", "missing.pdf"}) {
            EXPECT_NE(result.out.find("Stamp file issue: '" + std::string(name) + "'\n"),
                      std::string::npos)
                << label << ": " << name << "\n"
                << result.out;
        }
        // Good documents only: no output, partial file or temporary file of a failed one.
        EXPECT_EQ(listing(folder.file("out")),
                  (std::vector<std::string>{"g1.pdf", "g2.pdf", "g3.pdf"}))
            << label;
        std::vector<std::string> top = listing(folder.path());
        for (const std::string& name : top) {
            EXPECT_EQ(name.find(".quillmark-"), std::string::npos) << label << ": " << name;
        }
        // 5, 6 | 7, 8, 9 | 10: the counter runs on over the good documents without a gap.
        EXPECT_EQ(TempDir::read(folder.file("counter.txt")), "11") << label;
        if (haveTools()) {
            int next = 5;
            for (const Member& m : members) {
                if (m.pages == 0) {
                    continue;
                }
                const std::vector<std::string> texts = pageTexts(folder.file("out/" + m.name));
                ASSERT_EQ(texts.size(), static_cast<size_t>(m.pages)) << m.name;
                for (int page = 0; page < m.pages; ++page) {
                    EXPECT_EQ(texts[page],
                              m.name + " p" + std::to_string(page + 1) + " " + bates(next++))
                        << label << ": " << m.name;
                }
            }
        }
        if (unreadable) {
            fs::permissions(folder.file("locked.pdf"), fs::perms::owner_all);
        }
    }
    if (!haveTools()) {
        GTEST_SKIP() << tools::kJudgesMissing;
    }
}

// A document of 7 pages in a page tree three levels deep: the root holds a node of two nodes
// (three pages each) and a page of its own.
std::string nestedDocument(const std::string& tag) {
    qm_test::PdfBuilder pdf;
    pdf.object(1, "<< /Type /Catalog /Pages 2 0 R >>")
        .object(2, "<< /Type /Pages /Kids [4 0 R 22 0 R] /Count 7 /MediaBox [0 0 612 792] >>")
        .object(3, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>")
        .object(4, "<< /Type /Pages /Parent 2 0 R /Kids [5 0 R 6 0 R] /Count 6 >>")
        .object(5, "<< /Type /Pages /Parent 4 0 R /Kids [10 0 R 12 0 R 14 0 R] /Count 3 >>")
        .object(6, "<< /Type /Pages /Parent 4 0 R /Kids [16 0 R 18 0 R 20 0 R] /Count 3 >>");
    for (int i = 0; i < 7; ++i) {
        const int number = 10 + 2 * i;
        const std::string parent = i < 3 ? "5" : i < 6 ? "6" : "2";
        pdf.object(number, "<< /Type /Page /Parent " + parent + " 0 R /Contents " +
                               std::to_string(number + 1) +
                               " 0 R /Resources << /Font << /F1 3 0 R >> >> >>")
            .stream(number + 1, "",
                    "BT /F1 12 Tf 100 750 Td (" + tag + " p" + std::to_string(i + 1) + ") Tj ET");
    }
    pdf.classicXRef();
    return pdf.bytes();
}

// A document whose startxref leads nowhere: the reader repairs it.
std::string damagedDocument(const std::string& tag, int pages) {
    std::string bytes = document(tag, pages);
    const size_t at = bytes.rfind("startxref");
    return bytes.substr(0, at) + "startxref\n999999\n%%EOF\n";
}

// The figures a plan row and a log row both give: pages, stamped pages, first and last number
// and text, and for a document that fails its cause.
std::vector<std::string> planFigures(const std::vector<std::string>& row) {
    return {row[2], row[3], row[4], row[5], row[6], row[7], row[2].empty() ? row[8] : ""};
}
std::vector<std::string> logFigures(const std::vector<std::string>& row) {
    return {row[3], row[4], row[5], row[6], row[7], row[8], row[2] == "failed" ? row[11] : ""};
}

const std::vector<std::string> kPlanHeader = {"input",         "start number", "pages",
                                              "stamped pages", "first number", "last number",
                                              "first text",    "last text",    "cause"};

// Twelve documents of a production (several producers from the corpus where it is there, one
// damaged and repaired, one protected, one with a page tree of several levels, one that fails)
// planned, then stamped one after another with the same numbering: the plan's rows are the log's
// ranges row by row, each document starts where the one before ends, and the counter ends the
// same.
TEST(ProductionRunTest, PlanGivesTheRangesOfTheSequentialRun) {
    TempDir folder;
    std::vector<std::string> names;
    auto add = [&](const std::string& name, const std::string& bytes) {
        folder.write(name, bytes);
        names.push_back(name);
    };
    add("nested.pdf", nestedDocument("nested"));
    add("damaged.pdf", damagedDocument("damaged", 3));
    add("broken.pdf", "%PDF-1.7\n\x01\x02 garbage \xFF\xFE\n");
    const std::string corpus = qm_test::corpusDir();
    if (!corpus.empty()) {
        for (const char* file : {"pypdf-samples/004-pdflatex-4-pages_pdflatex-4-pages.pdf",
                                 "pypdf-samples/007-imagemagick-images_imagemagick-images.pdf",
                                 "pypdf-samples/015-arabic_habibi-rotated.pdf",
                                 "pypdf-samples/026-latex-multicolumn_multicolumn.pdf",
                                 "qpdf-tests/11-pages-with-labels.pdf", "qpdf-tests/boxes2.pdf",
                                 "qpdf-tests/c-object-streams.pdf", "qpdf-tests/V4.pdf"}) {
            add(fs::path(file).filename().string(), TempDir::read(corpus + "/" + file));
        }
    }
    for (int pages = 2; names.size() < 12; ++pages) {
        add("written " + std::to_string(pages) + ".pdf", document("w", pages));
    }
    std::string list;
    for (const std::string& name : names) {
        list += name + "\n";
    }
    folder.write("list.txt", list);
    const std::vector<std::string> numbering = {
        "-prefix", "ABC",     "-m7",         "-one",    "-sep",        "",      "-ns1000",
        "-s2",     "-import", "counter.txt", "-export", "counter.txt", "-quiet"};
    folder.write("counter.txt", "500");
    ProgramResult plan = runProgram(
        withArgs({"-ilist.txt", "-fout", "-plan", "plan.csv"}, numbering), folder.path());
    EXPECT_EQ(plan.status, 1) << plan.out << plan.err; // broken.pdf would fail
    EXPECT_FALSE(fs::exists(folder.file("out"))) << "a plan stamps nothing";
    const std::string plannedCounter = TempDir::read(folder.file("counter.txt"));

    folder.write("counter.txt", "500");
    ProgramResult run =
        runProgram(withArgs({"-ilist.txt", "-fout", "-log", "log.csv", "-keepgoing"}, numbering),
                   folder.path());
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    EXPECT_EQ(plannedCounter, TempDir::read(folder.file("counter.txt")));

    const auto planRows = readCsv(TempDir::read(folder.file("plan.csv")));
    const auto logRows = readCsv(TempDir::read(folder.file("log.csv")));
    ASSERT_EQ(planRows.size(), names.size() + 1);
    ASSERT_EQ(logRows.size(), names.size() + 1);
    EXPECT_EQ(planRows[0], kPlanHeader);
    int64_t next = 500;
    for (size_t i = 1; i < planRows.size(); ++i) {
        const std::vector<std::string>& row = planRows[i];
        ASSERT_EQ(row.size(), kPlanHeader.size()) << names[i - 1];
        EXPECT_EQ(row[0], logRows[i][0]) << names[i - 1];
        EXPECT_EQ(planFigures(row), logFigures(logRows[i])) << names[i - 1];
        EXPECT_EQ(row[1], std::to_string(next)) << names[i - 1] << ": start number";
        if (!row[5].empty()) {
            next = std::stoll(row[5]) + 1;
        }
        if (row[0] == "damaged.pdf") {
            EXPECT_EQ(logRows[i][10], "yes") << "the damaged document is repaired";
        }
    }
    EXPECT_EQ(plannedCounter, std::to_string(next));
}

// Each numbering option, planned and then stamped as a list of one document with a counter
// file to export: the plan's figures are the log's, and so is the counter.
TEST(ProductionRunTest, PlanNumbersAsTheStampingDoes) {
    struct Case {
        const char* name;
        std::vector<std::string> options;
    };
    const Case cases[] = {
        {"plain", {}},
        {"reverse", {"-r"}},
        {"two-up", {"-2up"}},
        {"two-up A/B", {"-ab2"}},
        {"every third left out, counted in sequence", {"-n3", "-seq"}},
        {"start and end page", {"-s2", "-e5", "-ns40"}},
        {"roman numerals", {"-rom", "-ns4"}},
        {"masked number", {"-m5", "-ns17"}},
        {"a second stamp on other pages", {"-s3", "-next", "-s1", "-e1", "-prefix", "X"}},
    };
    TempDir folder;
    folder.write("six.pdf", document("six", 6));
    folder.write("list.txt", "six.pdf\n");
    for (const Case& c : cases) {
        const std::vector<std::string> options =
            withArgs({"-export", "counter.txt", "-quiet"}, c.options);
        fs::remove(folder.file("counter.txt"));
        fs::remove(folder.file("log.csv"));
        const ProgramResult plan = runProgram(
            withArgs({"-ilist.txt", "-fout", "-plan", "plan.csv"}, options), folder.path());
        const std::string plannedCounter = TempDir::read(folder.file("counter.txt"));
        const ProgramResult run = runProgram(
            withArgs({"-ilist.txt", "-fout", "-log", "log.csv"}, options), folder.path());
        EXPECT_EQ(plan.status, 0) << c.name << "\n" << plan.err;
        EXPECT_EQ(run.status, 0) << c.name << "\n" << run.err;
        const auto planRows = readCsv(TempDir::read(folder.file("plan.csv")));
        const auto logRows = readCsv(TempDir::read(folder.file("log.csv")));
        ASSERT_EQ(planRows.size(), 2u) << c.name;
        ASSERT_EQ(logRows.size(), 2u) << c.name;
        EXPECT_EQ(planFigures(planRows[1]), logFigures(logRows[1])) << c.name;
        EXPECT_EQ(plannedCounter, TempDir::read(folder.file("counter.txt"))) << c.name;
    }
}

// A document with no page stamped leaves the counter where it was: the next document starts at
// the same number, and its row says why nothing is stamped. A plan writes no log and needs a
// list.
TEST(ProductionRunTest, PlanKeepsTheCounterOverAnUnstampedDocument) {
    TempDir folder;
    folder.write("a.pdf", document("a", 3));
    folder.write("b.pdf", document("b", 1));
    folder.write("c.pdf", document("c", 2));
    folder.write("list.txt", "a.pdf\nb.pdf\nc.pdf\n");
    folder.write("counter.txt", "10");
    const ProgramResult plan =
        runProgram(withArgs({"-ilist.txt", "-fout", "-plan", "plan.csv", "-s2", "-import",
                             "counter.txt", "-export", "counter.txt", "-log", "log.csv", "-quiet"},
                            kBates),
                   folder.path());
    EXPECT_EQ(plan.status, 0) << plan.err;
    const auto rows = readCsv(TempDir::read(folder.file("plan.csv")));
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[1], (std::vector<std::string>{"a.pdf", "10", "3", "2", "10", "11", bates(10),
                                                 bates(11), ""}));
    EXPECT_EQ(rows[2], (std::vector<std::string>{"b.pdf", "12", "1", "0", "", "", "", "",
                                                 "Nothing stamped: no page is chosen by -s, -e "
                                                 "or -n"}));
    EXPECT_EQ(rows[3], (std::vector<std::string>{"c.pdf", "12", "2", "1", "12", "12", bates(12),
                                                 bates(12), ""}));
    EXPECT_EQ(TempDir::read(folder.file("counter.txt")), "13");
    EXPECT_FALSE(fs::exists(folder.file("log.csv"))) << "a plan logs nothing";

    const ProgramResult single =
        runProgram({"-ia.pdf", "-oout.pdf", "-plan", "plan.csv", "-quiet"}, folder.path());
    EXPECT_EQ(single.status, 1);
    EXPECT_NE(single.err.find("-plan needs a list of files"), std::string::npos) << single.err;
    EXPECT_FALSE(fs::exists(folder.file("out.pdf")));
}

} // namespace
