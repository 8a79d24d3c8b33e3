#include "Platform/Collation.h"

#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/stringpiece.h>

#include <memory>

namespace Platform::Collation {

namespace {

// One collator per thread: a collator's compare is const, but its creation
// and attribute setting are not worth sharing across threads.
icu::Collator* collator()
{
    thread_local std::unique_ptr<icu::Collator> instance = [] {
        UErrorCode status = U_ZERO_ERROR;
        // The C and POSIX locales map to en_US_POSIX, whose tailoring puts
        // every capital before every small letter; the root order does not.
        icu::Locale locale = icu::Locale::getDefault();
        if (std::string_view(locale.getVariant()) == "POSIX") locale = icu::Locale::getRoot();
        std::unique_ptr<icu::Collator> c(icu::Collator::createInstance(locale, status));
        if (U_FAILURE(status) || !c) {
            status = U_ZERO_ERROR;
            c.reset(icu::Collator::createInstance(icu::Locale::getRoot(), status));
        }
        if (c) {
            status = U_ZERO_ERROR;
            c->setStrength(icu::Collator::SECONDARY); // case ignored, accents not
            c->setAttribute(UCOL_NUMERIC_COLLATION, UCOL_ON, status);
        }
        return c;
    }();
    return instance.get();
}

} // namespace

int standardCompare(std::string_view a, std::string_view b)
{
    icu::Collator* c = collator();
    if (!c) return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);
    UErrorCode status = U_ZERO_ERROR;
    UCollationResult r = c->compareUTF8(icu::StringPiece(a.data(), static_cast<int32_t>(a.size())),
                                        icu::StringPiece(b.data(), static_cast<int32_t>(b.size())), status);
    if (U_FAILURE(status)) return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);
    return r == UCOL_LESS ? -1 : (r == UCOL_EQUAL ? 0 : 1);
}

} // namespace Platform::Collation
