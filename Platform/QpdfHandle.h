#pragma once

// qpdf documents for the Platform layer. qpdf 11 writes, while a QPDF is
// destroyed, to one "destroyed object" that every QPDF shares, so documents
// on different threads must be closed one at a time: always hold a QPDF
// through QpdfPtr. (Internal to Platform: engine headers never see qpdf.)

#include <qpdf/QPDF.hh>

#include <memory>

namespace Platform {

struct QpdfCloser {
    void operator()(QPDF* qpdf) const;
};

using QpdfPtr = std::unique_ptr<QPDF, QpdfCloser>;

inline QpdfPtr makeQpdf() { return QpdfPtr(new QPDF()); }

} // namespace Platform
