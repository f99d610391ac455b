// The copy of page-tree nodes and catalogs: the input gives the entries of a document's catalog
// and of its root node (a zero byte between the two; the first byte picks a rewrite or an
// update), put into a two-page document with a content stream and a font. Every failure must
// end as a clean CPdfException, and an output that is written and read back by the same
// reader must have the pages the pass stamped: a node or a catalog cut short, a loop left in
// /Kids or a key left twice with another meaning reads otherwise.
#include "pdf/CPdfException.h"
#include "stamp/pass/CPdfStamp.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace {

const std::filesystem::path& workFolder() {
    static const std::filesystem::path folder = [] {
        std::filesystem::path path = std::filesystem::temp_directory_path() /
                                     ("quillmark-fuzz-tree-copy-" + std::to_string(getpid()));
        std::filesystem::create_directories(path);
        return path;
    }();
    return folder;
}

// The document around the two sets of entries, with a classic table of its five objects.
std::string documentAround(std::string_view catalog, std::string_view node) {
    const std::string page = "/Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources << "
                             "/Font << /F1 5 0 R >> >> /Contents 4 0 R";
    const std::string content = "BT /F1 24 Tf 72 700 Td (Potato) Tj ET";
    const std::vector<std::string> bodies = {
        "<< /Type /Catalog " + std::string(catalog) + " >>",
        "<< /Type /Pages " + std::string(node) + " >>",
        "<< " + page + " >>",
        "<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content + "\nendstream",
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
        "<< " + page + " /Rotate 90 >>",
    };
    std::string out = "%PDF-1.7\n";
    std::vector<size_t> offsets;
    for (size_t k = 0; k < bodies.size(); ++k) {
        offsets.push_back(out.size());
        out += std::to_string(k + 1) + " 0 obj\n" + bodies[k] + "\nendobj\n";
    }
    const size_t table = out.size();
    out += "xref\n0 " + std::to_string(bodies.size() + 1) + "\n0000000000 65535 f \n";
    for (const size_t offset : offsets) {
        char row[24];
        std::snprintf(row, sizeof row, "%010zu 00000 n \n", offset);
        out += row;
    }
    out += "trailer\n<< /Size " + std::to_string(bodies.size() + 1) +
           " /Root 1 0 R >>\nstartxref\n" + std::to_string(table) + "\n%%EOF\n";
    return out;
}

bool writeFile(const std::string& path, std::string_view bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) {
        return 0;
    }
    const bool incremental = (data[0] & 1) != 0;
    const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    const size_t split = rest.find('\0');
    const std::string_view catalog = rest.substr(0, split);
    const std::string_view node =
        split == std::string_view::npos ? std::string_view() : rest.substr(split + 1);
    const std::string input = (workFolder() / "in.pdf").string();
    const std::string output = (workFolder() / "out.pdf").string();
    if (!writeFile(input, documentAround(catalog, node))) {
        return 0;
    }
    PassResult stamped;
    {
        CPdfStamp job;
        job.inputName = input;
        job.outputName = output;
        job.quiet = true;
        job.incremental = incremental;
        try {
            stamped = job.stampDocument();
        } catch (const CPdfException&) {
            std::remove(output.c_str());
            return 0;
        }
    }
    CPdfStamp reader;
    reader.inputName = output;
    reader.quiet = true;
    try {
        const PassResult read = reader.readDocument();
        if (read.pages != stamped.pages) {
            __builtin_trap();
        }
    } catch (const CPdfException&) {
        // Not judged: the object parser reads an array or a dictionary left open past its
        // object's "endobj", so how such a node reads depends on the objects after it, which
        // the output orders otherwise.
    }
    std::remove(output.c_str());
    return 0;
}
