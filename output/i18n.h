#pragma once

#include <QList>
#include <QString>

namespace tarnix {

// One ticked language of the i18n element: its UI code and its translation.
struct I18nEntry
{
    QString locale;
    QString translation;
};

// The i18n element: the source language's UI code as `original`, then one
// display block per entry, in the given order, each translation in CDATA.
QString i18nElement(const QString &original, const QList<I18nEntry> &entries);

// The translation as CDATA content: unchanged, except that every "]]>" is
// split across two sections so that it cannot end the section early.
QString cdataContent(const QString &translation);

} // namespace tarnix
