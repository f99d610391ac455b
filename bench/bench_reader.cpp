// Reader benchmark: writes a large document (pages in object streams, a cross-reference
// stream with PNG rows) and reads it back, fetching every object.
//   bench_reader generate <file> [pages]
//   bench_reader image <file> [megabytes]   (one page whose image stream holds that much)
//   bench_reader read <file>
#include "pdf/CPdfDocument.h"
#include "pdf/CPdfElement.h"
#include "pdf/CPdfException.h"
#include "pdf/CPdfStream.h"
#include "pdf/CPdfXRef.h"
#include "support/PdfBuilder.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

int generate(const std::string& path, int pages) {
    const int perStream = 100;
    const int perNode = 100;
    const int nodes = (pages + perNode - 1) / perNode;
    // Numbers: 1 catalog, 2 page root, 3 font, 4 .. 3+nodes tree nodes, then per page its
    // page object and content stream, then the object streams.
    const int firstNode = 4;
    const int firstPage = firstNode + nodes;
    auto pageNumber = [&](int i) { return firstPage + 2 * i; };
    auto contentNumber = [&](int i) { return firstPage + 2 * i + 1; };
    int nextNumber = firstPage + 2 * pages;

    qm_test::PdfBuilder pdf;
    pdf.object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    std::string kids;
    for (int k = 0; k < nodes; ++k) {
        kids += std::to_string(firstNode + k) + " 0 R ";
    }
    pdf.object(2, "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages) + " >>");
    pdf.object(3, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
    for (int k = 0; k < nodes; ++k) {
        std::string nodeKids;
        int count = 0;
        for (int i = k * perNode; i < std::min(pages, (k + 1) * perNode); ++i, ++count) {
            nodeKids += std::to_string(pageNumber(i)) + " 0 R ";
        }
        pdf.compressed(firstNode + k, "<< /Type /Pages /Parent 2 0 R /Kids [" + nodeKids +
                                          "] /Count " + std::to_string(count) + " >>");
    }
    pdf.objectStream(nextNumber++);
    for (int i = 0; i < pages; ++i) {
        std::string text = "BT /F1 12 Tf 72 720 Td (This is page " + std::to_string(i + 1) +
                           " of the benchmark document.) Tj ET\n";
        pdf.stream(contentNumber(i), "", text + text + text, true);
        pdf.compressed(pageNumber(i), "<< /Type /Page /Parent " +
                                          std::to_string(firstNode + i / perNode) +
                                          " 0 R /MediaBox [0 0 612 792] /Contents " +
                                          std::to_string(contentNumber(i)) +
                                          " 0 R /Resources << /Font << /F1 3 0 R >> >> >>");
        if ((i + 1) % perStream == 0 || i + 1 == pages) {
            pdf.objectStream(nextNumber++);
        }
    }
    qm_test::PdfBuilder::Section section;
    section.predictor = 12;
    section.widths = {1, 4, 2};
    pdf.streamXRef(section);
    if (!pdf.writeTo(path)) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return 1;
    }
    std::printf("wrote %s: %d pages, %d objects\n", path.c_str(), pages, pdf.nextNumber() - 1);
    return 0;
}

// A one-page document whose image is a large Flate stream of noise with PNG rows, for the
// memory a large stream costs while it is decoded.
int image(const std::string& path, int megabytes) {
    const int columns = 4096;
    const int rows = megabytes * (1 << 20) / (columns * 3);
    std::string data;
    data.reserve(static_cast<size_t>(rows) * (columns * 3 + 1));
    uint32_t seed = 12345;
    for (int r = 0; r < rows; ++r) {
        data.push_back(static_cast<char>(r % 5)); // every PNG filter
        for (int i = 0; i < columns * 3; ++i) {
            seed = seed * 1103515245u + 12345u;
            data.push_back(static_cast<char>(seed >> 24));
        }
    }
    qm_test::PdfBuilder pdf;
    pdf.object(1, "<< /Type /Catalog /Pages 2 0 R >>")
        .object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>")
        .object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources "
                   "<< /XObject << /Im1 4 0 R >> >> >>")
        .stream(4,
                "/Type /XObject /Subtype /Image /Width " + std::to_string(columns) + " /Height " +
                    std::to_string(rows) +
                    " /ColorSpace /DeviceRGB /BitsPerComponent 8 /DecodeParms << /Predictor 15"
                    " /Colors 3 /Columns " +
                    std::to_string(columns) + " >>",
                data, true)
        .classicXRef();
    if (!pdf.writeTo(path)) {
        return 1;
    }
    std::printf("wrote %s: one image of %zu decoded bytes\n", path.c_str(), data.size());
    return 0;
}

int read(const std::string& path) {
    auto start = Clock::now();
    CPdfDocument document;
    try {
        document.open(path);
    } catch (const CPdfException& e) {
        std::printf("open failed: %s\n", e.getMessage());
        return 1;
    }
    const double loadTime = secondsSince(start);
    CPdfXRef* xref = document.getXRef();
    auto fetchStart = Clock::now();
    size_t fetched = 0;
    size_t streams = 0;
    size_t streamBytes = 0;
    size_t textBytes = 0;
    size_t failures = 0;
    for (size_t n = 0; n < xref->entries().size(); ++n) {
        const XRefEntry row = xref->entries()[n];
        if (row.type == 0) {
            continue;
        }
        try {
            CPdfElement object;
            xref->fetchObject(static_cast<int32_t>(n), row.type == 1 ? row.generation : 0, object);
            ++fetched;
            if (object.is(ElementKind::Stream)) {
                ++streams;
                for (int c = object.getStream()->getChar(); c >= 0;
                     c = object.getStream()->getChar()) {
                    ++streamBytes;
                }
            } else if (object.is(ElementKind::Null)) {
                ++failures;
            }
            if (row.type == 2) {
                const unsigned char* text = nullptr;
                size_t length = 0;
                if (xref->getCompressedObjectText(static_cast<int32_t>(n), text, length)) {
                    textBytes += length;
                } else {
                    ++failures;
                }
            }
        } catch (const CPdfException& e) {
            ++failures;
        }
    }
    const double fetchTime = secondsSince(fetchStart);
    std::printf("load: %.3f s, %zu rows\n", loadTime, xref->entries().size());
    std::printf("fetch: %.3f s for %zu objects (%.2f us each); %zu streams decoded (%zu bytes), "
                "%zu bytes of compressed-object text, %zu failures\n",
                fetchTime, fetched, fetched ? fetchTime * 1e6 / double(fetched) : 0.0, streams,
                streamBytes, textBytes, failures);
    return failures == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::string(argv[1]) == "generate") {
        return generate(argv[2], argc >= 4 ? std::atoi(argv[3]) : 20000);
    }
    if (argc >= 3 && std::string(argv[1]) == "image") {
        return image(argv[2], argc >= 4 ? std::atoi(argv[3]) : 100);
    }
    if (argc >= 3 && std::string(argv[1]) == "read") {
        return read(argv[2]);
    }
    std::fprintf(stderr,
                 "usage: bench_reader generate <file> [pages] | image <file> [MB] | read <file>\n");
    return 2;
}
