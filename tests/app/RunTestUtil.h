// Shared set-up of the tests that run lists and text-lines files through the real program: the
// banner and closing texts, a small input document, folder listings and the output checks.
#pragma once

#include "platform/Platform.h"
#include "support/ExternalTools.h"
#include "support/PdfBuilder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace run_test {

inline const std::string kBanner = "\r\nQuillmark " QUILLMARK_VERSION "\r\n\r\n";
inline const std::string kDone = "\nDone.\n";
// A list's output name as the program prints it: the folder and the line joined by the
// platform's separator ("/" on POSIX, "\\" on Windows).
inline std::string listOutput(const std::string& folder, const std::string& name) {
    return platform::joinPath(folder, name);
}

// A one-page document whose own content draws "Sheet <tag>" high on the page, above every stamp
// of these tests, so that the output's text shows which input it came from.
inline std::string sheet(const std::string& tag) {
    qm_test::PdfBuilder pdf;
    pdf.object(1, "<< /Type /Catalog /Pages 2 0 R >>")
        .object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 /MediaBox [0 0 612 792] >>")
        .object(3, "<< /Type /Page /Parent 2 0 R /Contents 4 0 R "
                   "/Resources << /Font << /F1 5 0 R >> >> >>")
        .stream(4, "", "BT /F1 12 Tf 100 750 Td (Sheet " + tag + ") Tj ET")
        .object(5, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>")
        .classicXRef();
    return pdf.bytes();
}

// Every entry below the folder, relative to it and sorted; folders end with "/".
inline std::vector<std::string> listing(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        std::string name = std::filesystem::relative(entry.path(), folder).generic_string();
        names.push_back(entry.is_directory() ? name + "/" : name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Every entry below the folder with its bytes (folders and FIFOs with none), to see that a run
// changed nothing.
inline std::map<std::string, std::string> snapshot(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const std::string& name : listing(folder)) {
        const std::string path = folder + "/" + name;
        files[name] = std::filesystem::is_regular_file(path) ? TempDir::read(path) : "";
    }
    return files;
}

inline std::vector<std::string> withArgs(std::vector<std::string> base,
                                         const std::vector<std::string>& more) {
    base.insert(base.end(), more.begin(), more.end());
    return base;
}

inline bool haveTools() {
    return tools::available("qpdf") && tools::available("pdftotext");
}

// qpdf finds the file clean and pdftotext reads `text` (in drawing order, white-space
// normalized) from its one page.
inline void expectPdfText(const std::string& path, const std::string& text,
                          const std::string& label) {
    std::string details;
    EXPECT_TRUE(tools::qpdfCheckClean(path, details)) << label << "\n" << details;
    const std::vector<std::string> pages = tools::pdfTextPages(path, true);
    ASSERT_EQ(pages.size(), 1u) << label;
    EXPECT_EQ(tools::normalizeSpace(pages[0]), text) << label;
}

} // namespace run_test
