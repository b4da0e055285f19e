#include "tests/support/serviceurlseam.h"

#include <QUrl>

#include "translate/serviceurl.h"

namespace {

QUrl &currentUrl()
{
    static QUrl url;
    return url;
}

} // namespace

namespace tarnix {

// Defined here, this wins over the library's own definition at link time.
QUrl serviceUrl()
{
    return currentUrl();
}

} // namespace tarnix

void tarnix::test::setServiceUrl(const QUrl &url)
{
    currentUrl() = url;
}
