#include "pdf/CPdfFilters.h"

#include "pdf/CPdfArray.h"
#include "pdf/CPdfDictionary.h"
#include "pdf/CPdfElement.h"
#include "pdf/CPdfFlateStream.h"
#include "pdf/CPdfPredictor.h"

namespace {

// The dictionary entry under key, or else under its abbreviation, resolved.
void lookUp(const CPdfDictionary* dict, std::string_view key, std::string_view shortKey,
            CPdfElement& out) {
    dict->getEntry(key, out);
    if (out.is(ElementKind::Null)) {
        out.clear();
        dict->getEntry(shortKey, out);
    }
}

void readIntegerParameter(const CPdfDictionary* parms, std::string_view key, int& value) {
    CPdfElement entry;
    parms->getEntry(key, entry);
    if (entry.is(ElementKind::Integer)) {
        value = entry.getInteger();
    }
}

} // namespace

CPdfStream* applyFilters(CPdfStream* stream, const CPdfElement& streamDict) {
    if (!stream) {
        return nullptr;
    }
    if (!streamDict.is(ElementKind::Dictionary)) {
        return stream;
    }
    const CPdfDictionary* dict = streamDict.getDictionary();
    CPdfElement filter;
    CPdfElement parms;
    lookUp(dict, "Filter", "F", filter);
    lookUp(dict, "DecodeParms", "DP", parms);
    switch (filter.kind()) {
    case ElementKind::Null:
        return stream;
    case ElementKind::Name:
        return makeFilter(filter.getText(), stream, parms);
    case ElementKind::Array: {
        const CPdfArray* array = filter.getArray();
        if (array->getCount() == 1 && array->getItem(0).is(ElementKind::Name)) {
            return makeFilter(array->getItem(0).getText(), stream, parms);
        }
        return nullptr;
    }
    default:
        return nullptr;
    }
}

CPdfStream* makeFilter(std::string_view name, CPdfStream* stream, const CPdfElement& decodeParms) {
    if (name != "FlateDecode" && name != "Fl") {
        return nullptr;
    }
    int predictor = 1;
    int columns = 1;
    int colors = 1;
    int bitsPerComponent = 8;
    if (decodeParms.is(ElementKind::Dictionary)) {
        const CPdfDictionary* parms = decodeParms.getDictionary();
        readIntegerParameter(parms, "Predictor", predictor);
        readIntegerParameter(parms, "Columns", columns);
        readIntegerParameter(parms, "Colors", colors);
        readIntegerParameter(parms, "BitsPerComponent", bitsPerComponent);
    }
    // Row sizes are checked before anything is allocated: parameters that give no sensible
    // row make the stream unreadable.
    if (!CPdfPredictor::isValid(predictor, columns, colors, bitsPerComponent)) {
        return nullptr;
    }
    return new CPdfFlateStream(stream, predictor, columns, colors, bitsPerComponent);
}
