#include "stamp/pass/CPdfStamp.h"

#include "platform/Platform.h"
#include "stamp/fonts/EmbeddedFont.h"
#include "stamp/write/COutputFile.h"

Reporter CPdfStamp::silent_;

// Every setting starts at its default (see the member initialisers); the pass state is empty.
CPdfStamp::CPdfStamp() = default;

// Files are closed by the pass that opened them; the members release what is left.
CPdfStamp::~CPdfStamp() {
    // A counter prepared for a run that did not get to its end.
    if (!counterTemp_.empty()) {
        platform::removeFile(counterTemp_);
    }
}
