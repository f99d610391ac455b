#include "app/ListName.h"
#include "platform/Platform.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A name that is not UTF-8 is read in the code pages the system's tools write names in, and
// the reading that names an existing file is taken.
TEST(ListNameTest, NamesInTheSystemsCodePages) {
    TempDir folder;
    folder.write("caf\u00e9.pdf", "x");
    folder.write("na\u00efve \u20ac.pdf", "x");
    const std::string base = folder.path() + "/";
    struct Case {
        const char* name;
        std::string bytes;
        std::string resolved;
    };
    const Case cases[] = {
        {"UTF-8 stays as it is", base + "caf\u00e9.pdf", base + "caf\u00e9.pdf"},
        {"ASCII stays as it is", base + "plain.pdf", base + "plain.pdf"},
        {"code page 1252 (Excel, Notepad ANSI)", base + "caf\xe9.pdf", base + "caf\u00e9.pdf"},
        {"code page 1252 beyond Latin-1", base + "na\xefve \x80.pdf",
         base + "na\u00efve \u20ac.pdf"},
#ifdef _WIN32
        // "dir /B > list.txt" writes the console's OEM code page (437 or 850: both have é at
        // 0x82), which the ANSI code page reads as another, missing name.
        {"OEM code page of dir", base + "caf\x82.pdf", base + "caf\u00e9.pdf"},
#else
        // Without a file of any reading the first reading is taken: code page 1252 here.
        {"no file of that name", base + "caf\x82.pdf", base + "caf\u201a.pdf"},
#endif
    };
    for (const Case& c : cases) {
        EXPECT_EQ(list_name::resolve(c.bytes), c.resolved) << c.name;
    }
}

TEST(ListNameTest, AbsolutePathsKeepOnlyTheirFileNameInTheOutputFolder) {
    const std::string sep(1, platform::folderSeparator());
    const std::tuple<const char*, bool, std::string> cases[] = {
        {"C:\\papers\\a.pdf", true, "out" + sep + "a.pdf"},
        {"z:/papers/b.pdf", true, "out" + sep + "b.pdf"},
        {"\\\\server\\share\\c.pdf", true, "out" + sep + "c.pdf"},
        {"/home/u/d.pdf", true, "out" + sep + "d.pdf"},
        {"sub/e.pdf", false, "out" + sep + "sub/e.pdf"},
        {"C:f.pdf", false, "out" + sep + "C:f.pdf"},
        {"g.pdf", false, "out" + sep + "g.pdf"},
    };
    for (const auto& [name, absolute, output] : cases) {
        EXPECT_EQ(list_name::isAbsolute(name), absolute) << name;
        EXPECT_EQ(list_name::outputName("out", name), output) << name;
    }
}

} // namespace
