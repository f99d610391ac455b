#include "stamp/pass/CPdfStamp.h"

#include "pdf/CPdfException.h"
#include "stamp/fonts/CEmbeddedFont.h"
#include "stamp/fonts/FontTable.h"
#include "stamp/pass/CPdfStampPass.h"

#include <exception>
#include <new>
#include <string>

namespace {

std::string formatted(const char* format, const std::string& value) {
    std::string text(format);
    size_t at = text.find("%s");
    if (at != std::string::npos) {
        text.replace(at, 2, value);
    }
    return text;
}

} // namespace

CReporter CPdfStamp::silent_;

// Every setting starts at its default (see the member initialisers).
CPdfStamp::CPdfStamp() = default;

CPdfStamp::~CPdfStamp() = default;

PassResult CPdfStamp::stampDocument(const BeforePlacing& beforePlacing) {
    bool embeds = !stamp.embedFontFile.empty();
    for (const StampDefinition& more : moreStamps) {
        embeds = embeds || !more.embedFontFile.empty();
    }
    if (embeds && !embeddedFont_) {
        embeddedFont_ = std::make_unique<CEmbeddedFont>();
    }
    CPdfStampPass pass(*this, stamp, *reporter_, embeddedFont_.get(), moreStamps, &resourceNames_);
    runGuarded([&] { pass.stampDocument(beforePlacing); }, [&] { pass.close(); });
    return pass.result();
}

PassResult CPdfStamp::readDocument() {
    CPdfStampPass pass(*this, stamp, *reporter_, nullptr, moreStamps);
    runGuarded([&] { pass.readDocument(); }, [&] { pass.close(); });
    return pass.result();
}

void CPdfStamp::runGuarded(const std::function<void()>& step,
                           const std::function<void()>& cleanup) const {
    std::string failureCause;
    try {
        step();
        return;
    } catch (const CPdfException& e) {
        // The message first, as the user knows it, then what was found where.
        failureCause = e.message();
        while (!failureCause.empty() &&
               (failureCause.back() == '\n' || failureCause.back() == '\r')) {
            failureCause.pop_back();
        }
        if (!e.cause().empty()) {
            failureCause += ": " + e.cause();
        }
    } catch (const std::bad_alloc&) {
        failureCause = "Out of memory";
    } catch (const std::exception& e) {
        failureCause = e.what();
    } catch (...) {
        failureCause = "Unexpected failure";
    }
    if (cleanup) {
        cleanup();
    }
    while (!failureCause.empty() && (failureCause.back() == '\n' || failureCause.back() == '\r')) {
        failureCause.pop_back();
    }
    throw CPdfException(formatted("Stamp file issue: '%s'\n", inputNameShown()), failureCause);
}

void CPdfStamp::reportSignedInput() const {
    CPdfStampPass::reportSignedInput(*this, *reporter_);
}

SizeTable CPdfStamp::loadFontSizes(const StampDefinition& sizesOf) {
    SizeTable table;
    std::string openError;
    const std::string& file = sizesOf.fontSizesFile;
    if (!readFontSizes(file, table, openError)) {
        reporter_->note("Unable to open font sizes file: '" + file + "'\r\n");
        // The run goes on with -size, but not as asked: it ends with status 1.
        failSoftly("Can't open the font sizes file '" + file + "': " + openError);
    }
    return table;
}

void CPdfStamp::startNextStamp() {
    moreStamps.push_back(std::move(stamp));
    stamp = StampDefinition{};
}

void CPdfStamp::failSoftly(const std::string& cause) {
    softFailure = true;
    reporter_->warning(cause);
}
