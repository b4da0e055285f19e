#pragma once

class QUrl;

namespace tarnix::test {

// A program that links this seam replaces the built-in service address: every
// request the window sends goes to the address set here.
void setServiceUrl(const QUrl &url);

} // namespace tarnix::test
