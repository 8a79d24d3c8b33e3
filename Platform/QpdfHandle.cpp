#include "Platform/QpdfHandle.h"

#include <mutex>

namespace Platform {

void QpdfCloser::operator()(QPDF* qpdf) const
{
    static std::mutex closing;
    std::scoped_lock lock(closing);
    delete qpdf;
}

} // namespace Platform
