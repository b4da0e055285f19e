#pragma once

#include <functional>
#include <memory>

#include <QString>
#include <QStringList>

#include "fill/formats/catalog.h"

namespace tarnix::fill {

// What tarnix-fill knows of a catalog file from its name alone: the format
// that reads it, and where its ecosystem keeps the other files of the same
// catalog. The paths are pure functions of the names, tested directly.
struct FormatInfo
{
    QString name; // "PO", "Qt TS", … for messages
    std::function<std::unique_ptr<CatalogFormat>()> make;
    // Whether the file is one that --to starts catalogs from: a .pot
    // template, the source language's file of a JSON project. `sourceLanguage`
    // is the project's ("en" unless said otherwise).
    std::function<bool(const QString &path, const QString &sourceLanguage)> isSource = nullptr;
    // The catalog for `language` that a source file starts, beside it as
    // its ecosystem lays them out: "po/app.pot" -> "po/es.po".
    std::function<QString(const QString &source, const QString &language)> targetFor = nullptr;
    // The source file of a catalog that does not hold its source texts
    // ("locales/it/ns.json" -> "locales/en/ns.json"); empty for those that do.
    std::function<QString(const QString &target, const QString &sourceLanguage)> sourceFor = nullptr;
    // For a file that holds every language (a string catalog): the languages
    // it has besides its source, filled when --to names none.
    std::function<QStringList(const QString &path)> languagesIn = nullptr;
};

// The format of a file, by its name; null when tarnix-fill reads none such.
const FormatInfo *formatFor(const QString &path);

// The names of the files tarnix-fill reads, for messages: ".po, .pot, .ts, …".
QString readableFiles();

// Where the JSON catalogs of web projects lie: a folder per language
// ("locales/en/common.json" -> "locales/de/common.json") or a file per
// language ("lang/en.json" -> "lang/de.json"), the region after a hyphen
// ("pt-BR") unless the project's names have an underscore. jsonSourceFor()
// is empty when the target names no language.
QString jsonTargetFor(const QString &source, const QString &language);
QString jsonSourceFor(const QString &target, const QString &sourceLanguage);
// Flutter's ARB files beside their template: "lib/l10n/app_en.arb" ->
// "lib/l10n/app_pt_BR.arb".
QString arbTargetFor(const QString &source, const QString &language);
// Android's resource folders: "res/values/strings.xml" ->
// "res/values-pt-rBR/strings.xml", "res/values-b+sr+Latn/strings.xml".
QString androidTargetFor(const QString &source, const QString &language);

// Apple's localization folders: "en.lproj/Localizable.strings" ->
// "pt-BR.lproj/Localizable.strings" (or "pt_BR.lproj" where the project's
// folders have underscores); a target's source is the development region's
// folder (project.pbxproj's developmentRegion, else the source language),
// else Base.lproj, whichever holds the file (the development region's when
// neither does). appleSourceFor() is empty for a file in no
// localization folder.
bool appleIsSource(const QString &path, const QString &sourceLanguage);
QString appleTargetFor(const QString &source, const QString &language);
QString appleSourceFor(const QString &target, const QString &sourceLanguage);

} // namespace tarnix::fill
