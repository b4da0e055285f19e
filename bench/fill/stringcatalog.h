#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// An Xcode string catalog of `keys` keys in the source language and
// `languages` others, every unit translated but Spanish's, laid out as Xcode
// writes it: what a fill of Spanish reads and writes back.
QByteArray stringCatalog(const QStringList &messages, int keys, int languages);
