// Bytes opened as the PDF of an -overlay (through a temporary file): page 1 is either refused
// with a cause or read into a form and the objects it needs, each formatted as the output would
// write it from object number 1 on, every reference of which names one of those objects. The
// same bytes as text go through the quick look for references past a table's rows.
#include "fuzz/FuzzInputFile.h"
#include "pdf/CPdfException.h"
#include "stamp/picture/COverlayPage.h"
#include "stamp/write/ReferenceScan.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

// The quick look for references past a table's rows never misses one that the token scan
// finds, and writing them as "null" keeps every byte's place and leaves none.
void checkReferencesPast(std::string_view text) {
    for (const size_t rows : {size_t{1}, size_t{7}, size_t{100000}}) {
        bool past = false;
        for (const ReferenceSpan& reference : findReferences(text)) {
            past |= static_cast<uint64_t>(reference.number) >= rows;
        }
        if (past && !mayReferencePast(text, rows)) {
            __builtin_trap();
        }
        std::string nulled(text);
        if ((nullReferencesPast(nulled, rows) != 0) != past || nulled.size() != text.size()) {
            __builtin_trap();
        }
        for (const ReferenceSpan& reference : findReferences(nulled)) {
            if (static_cast<uint64_t>(reference.number) >= rows) {
                __builtin_trap();
            }
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    checkReferencesPast({reinterpret_cast<const char*>(data), size});
    const std::string path =
        fuzz_harness::writeInputFile("overlay", {reinterpret_cast<const char*>(data), size});
    if (path.empty()) {
        return 0;
    }
    try {
        const COverlayPage page = COverlayPage::read(path, 1);
        if (page.objectCount() == 0 || !(page.width() > 0.0f) || !(page.height() > 0.0f)) {
            __builtin_trap();
        }
        const auto count = static_cast<int64_t>(page.objectCount());
        for (size_t i = 0; i < page.objectCount(); ++i) {
            const std::string text = page.formattedObject(i, 1);
            // Only the object's own dictionary text is scanned: stream data may hold any bytes.
            const size_t stream = text.find("\nstream\n");
            for (const ReferenceSpan& reference :
                 findReferences(std::string_view(text).substr(0, stream))) {
                if (reference.number < 1 || reference.number > count) {
                    __builtin_trap();
                }
            }
        }
    } catch (const CPdfException& e) {
        if (e.cause().empty()) {
            __builtin_trap(); // every refusal says why
        }
    }
    return 0;
}
