#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

namespace tarnix::service {

// The translation as page text: '&', '<' and '>' become the decimal references
// "&#38;", "&#60;" and "&#62;" (the program decodes decimal references but
// keeps "&amp;" as written); everything else, line feeds included, stays raw.
QString escapePageText(QStringView text);

// The answer page of a translation, UTF-8: the translation stands alone between
// the closed "<span id=result_box" tag and "<div id=gt-res-tools", so a client
// that cuts between the markers and drops tags gets exactly the translation.
QByteArray translationPage(QStringView translation);

// A short page explaining an error. It carries neither marker, so a client
// finds no translation in it.
QByteArray errorPage(int status, QStringView reason, QStringView message);

// The reason phrase of a status the service answers with ("Not Found").
QByteArray reasonPhrase(int status);

} // namespace tarnix::service
