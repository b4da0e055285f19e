#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QPushButton>
#include <QStringList>
#include <QTextEdit>

#include "ui/mainwindow.h"

namespace tarnix::test {

// Widgets of the window, found as a user (or a screen reader) finds them: by
// object name.
template <typename T> T *child(const QObject *parent, const QString &name)
{
    T *found = parent->findChild<T *>(name);
    if (!found)
        qFatal("no child %s", qPrintable(name));
    return found;
}

inline QPushButton *languageButton(const MainWindow &window, const QString &uiCode)
{
    return child<QPushButton>(&window, QStringLiteral("BTN_") + uiCode);
}

// Ticks exactly the given languages (UI codes).
inline void tickOnly(const MainWindow &window, const QStringList &uiCodes)
{
    const auto boxes = child<QGroupBox>(&window, QStringLiteral("tgtGroupBox"))->findChildren<QCheckBox *>();
    for (QCheckBox *box : boxes)
        box->setChecked(uiCodes.contains(box->objectName().mid(3)));
}

// Selects the source language by its visible name and types the source text.
inline void setSource(const MainWindow &window, const QString &languageName, const QString &text)
{
    auto *combo = child<QComboBox>(&window, QStringLiteral("srcLangCombo"));
    combo->setCurrentIndex(combo->findText(languageName));
    child<QTextEdit>(&window, QStringLiteral("srcTextEdit"))->setPlainText(text);
}

inline QPushButton *translateButton(const MainWindow &window)
{
    return child<QPushButton>(&window, QStringLiteral("translateBtn"));
}

} // namespace tarnix::test
