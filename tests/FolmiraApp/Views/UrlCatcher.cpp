#include "UrlCatcher.h"

#include <QDesktopServices>

namespace FolmiraAppTest {

UrlCatcher::UrlCatcher()
{
    for (const auto* scheme : {"http", "https"}) QDesktopServices::setUrlHandler(scheme, this, "open");
}

UrlCatcher::~UrlCatcher()
{
    for (const auto* scheme : {"http", "https"}) QDesktopServices::unsetUrlHandler(scheme);
}

} // namespace FolmiraAppTest
