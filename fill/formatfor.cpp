#include "fill/formatfor.h"

#include <algorithm>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QRegularExpression>
#include <QStringList>
#include <QXmlStreamReader>

#include "fill/formats/android.h"
#include "fill/formats/arb.h"
#include "fill/formats/formatjs.h"
#include "fill/formats/i18next.h"
#include "fill/formats/po.h"
#include "fill/formats/properties.h"
#include "fill/formats/strings.h"
#include "fill/formats/stringsdict.h"
#include "fill/formats/ts.h"
#include "fill/formats/xcstrings.h"
#include "fill/formats/xliff.h"
#include "fill/formats/yamlcatalog.h"
#include "fill/languages.h"
#include "languages/languagetags.h"

using namespace Qt::StringLiterals;

namespace tarnix::fill {

namespace {

bool endsWithAny(const QString &path, const QStringList &endings)
{
    return std::any_of(endings.begin(), endings.end(),
        [&path](const QString &ending) { return path.endsWith(ending, Qt::CaseInsensitive); });
}

template <typename Format> std::unique_ptr<CatalogFormat> make()
{
    return std::make_unique<Format>();
}

// The same language however a project spells it: "pt-BR", "pt_br".
bool sameLanguage(QString a, QString b)
{
    return a.replace(u'-', u'_').compare(b.replace(u'-', u'_'), Qt::CaseInsensitive) == 0;
}

bool jsonIsSource(const QString &path, const QString &sourceLanguage)
{
    const QString language = jsonFileLanguage(path);
    return !language.isEmpty() && sameLanguage(language, sourceLanguage);
}

// What a JSON file's texts say of their convention; when nothing does (an
// empty catalog, texts without placeholders), its source file's.
JsonDialect dialectOfFile(const QString &path)
{
    const auto dialectOf = [](const QString &file) {
        json::Document doc;
        QString error;
        return json::load(file, doc, error) ? jsonDialect(doc) : JsonDialect::Unknown;
    };
    const JsonDialect own = dialectOf(path);
    const QString source = jsonSourceFor(path, u"en"_s);
    return own != JsonDialect::Unknown || source.isEmpty() ? own : dialectOf(source);
}

// The template l10n.yaml names for the ARB files of a folder, looked for
// there and in the folders above it, as gen-l10n finds it from the
// project's root; empty when none says.
QString arbTemplate(const QString &arbPath)
{
    static const QRegularExpression line(
        u"^template-arb-file:\\s*[\"']?([^\"'\\s#]+)"_s, QRegularExpression::MultilineOption);
    QDir dir = QFileInfo(arbPath).absoluteDir();
    for (int up = 0; up < 4; ++up) {
        QFile yaml(dir.filePath(u"l10n.yaml"_s));
        if (yaml.open(QIODevice::ReadOnly))
            return line.match(QString::fromUtf8(yaml.readAll())).captured(1);
        if (!dir.cdUp())
            break;
    }
    return {};
}

bool arbIsSource(const QString &path, const QString &sourceLanguage)
{
    const QString named = arbTemplate(path);
    if (!named.isEmpty())
        return QFileInfo(path).fileName() == named;
    return sameLanguage(languageFromFileName(path), sourceLanguage);
}

QString arbSourceFor(const QString &target, const QString &sourceLanguage)
{
    const QString named = arbTemplate(target);
    const QString source =
        named.isEmpty() ? arbTargetFor(target, sourceLanguage) : QFileInfo(target).dir().filePath(named);
    return source == target ? QString() : source;
}

// A resource folder's name ("values", "values-pt-rBR-land") with its
// locale qualifier replaced by `qualifier`, or dropped when that is empty.
QString androidFolder(const QString &folder, const QString &qualifier)
{
    QStringList parts = folder.split(u'-');
    qsizetype at = 1;
    static const QRegularExpression mobileCode(u"^(mcc|mnc)[0-9]+$"_s, QRegularExpression::CaseInsensitiveOption);
    while (at < parts.size() && mobileCode.match(parts[at]).hasMatch())
        ++at;
    if (languages::readAndroidQualifiers(folder)) {
        static const QRegularExpression region(u"^r[a-z]{2}$"_s, QRegularExpression::CaseInsensitiveOption);
        const bool withRegion = !parts[at].startsWith(u"b+"_s, Qt::CaseInsensitive) && at + 1 < parts.size()
            && region.match(parts[at + 1]).hasMatch();
        parts.remove(at, withRegion ? 2 : 1);
    }
    if (!qualifier.isEmpty())
        parts.insert(at, qualifier);
    return parts.join(u'-');
}

bool isAndroidFolder(const QString &path)
{
    const QString folder = QFileInfo(path).dir().dirName();
    return folder == u"values"_s || folder.startsWith(u"values-"_s);
}

// An Android resource file: in a values folder, else one whose root is <resources>.
bool speaksAndroid(const QString &path)
{
    if (isAndroidFolder(path))
        return true;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QXmlStreamReader reader(&file);
    return reader.readNextStartElement() && reader.name() == u"resources";
}

bool androidIsSource(const QString &path, const QString &)
{
    return isAndroidFolder(path) && !languages::readAndroidQualifiers(QFileInfo(path).dir().dirName());
}

QString androidSourceFor(const QString &target, const QString &)
{
    const QFileInfo file(target);
    const QString folder = file.dir().dirName();
    if (!isAndroidFolder(target) || !languages::readAndroidQualifiers(folder))
        return {};
    return QDir::cleanPath(file.dir().path() + u"/../"_s + androidFolder(folder, {}) + u'/' + file.fileName());
}

struct Known
{
    QStringList endings;
    FormatInfo info;
    // Tells among formats of the same ending by the file's content.
    std::function<bool(const QString &path)> speaks = nullptr;
};

const QList<Known> &known()
{
    static const QList<Known> formats {
        {{u".po"_s, u".pot"_s},
            {u"PO"_s, make<PoFormat>,
                [](const QString &path, const QString &) { return path.endsWith(u".pot"_s, Qt::CaseInsensitive); },
                [](const QString &source, const QString &language) {
                    return QFileInfo(source).dir().filePath(language + u".po"_s);
                }}},
        {{u".ts"_s}, {u"Qt TS"_s, make<TsFormat>}},
        {{u".xlf"_s, u".xliff"_s}, {u"XLIFF"_s, make<XliffFormat>}},
        {{u".json"_s}, {u"FormatJS JSON"_s, make<FormatJsFormat>, jsonIsSource, jsonTargetFor, jsonSourceFor},
            [](const QString &path) { return dialectOfFile(path) == JsonDialect::FormatJs; }},
        {{u".json"_s}, {u"i18next JSON"_s, make<I18nextFormat>, jsonIsSource, jsonTargetFor, jsonSourceFor}},
        {{u".arb"_s}, {u"Flutter ARB"_s, make<ArbFormat>, arbIsSource, arbTargetFor, arbSourceFor}},
        {{u".strings"_s}, {u"Apple strings"_s, make<StringsFormat>, appleIsSource, appleTargetFor, appleSourceFor}},
        {{u".stringsdict"_s},
            {u"Apple stringsdict"_s, make<StringsdictFormat>, appleIsSource, appleTargetFor, appleSourceFor}},
        {{u".properties"_s},
            {u"Java properties"_s, make<PropertiesFormat>,
                [](const QString &path, const QString &) { return languageFromFileName(path).isEmpty(); },
                propertiesTargetFor,
                [](const QString &target, const QString &) { return propertiesSourceFor(target); }}},
        {{u".yml"_s, u".yaml"_s},
            {u"Rails YAML"_s, make<RailsYamlFormat>,
                [](const QString &path, const QString &sourceLanguage) {
                    return sameLanguage(railsFileLanguage(path), sourceLanguage);
                },
                railsTargetFor, railsSourceFor}},
        {{u".xml"_s}, {u"Android strings"_s, make<AndroidFormat>, androidIsSource, androidTargetFor, androidSourceFor},
            speaksAndroid},
        {{u".xcstrings"_s},
            {u"Xcode string catalog"_s, make<XcstringsFormat>, nullptr, nullptr, nullptr, xcstringsLanguages}},
    };
    return formats;
}

} // namespace

const FormatInfo *formatFor(const QString &path)
{
    for (const Known &format : known()) {
        if (endsWithAny(path, format.endings) && (!format.speaks || format.speaks(path)))
            return &format.info;
    }
    return nullptr;
}

QString readableFiles()
{
    QStringList endings;
    for (const Known &format : known()) {
        for (const QString &ending : format.endings) {
            if (!endings.contains(ending))
                endings.append(ending);
        }
    }
    return endings.join(u", "_s);
}

namespace {

// A language as a web project names its files: "pt-BR", as i18next and
// FormatJS write it, unless the names already there say "pt_BR".
QString webName(QString language, const QStringList &names)
{
    const bool underscore = std::any_of(
        names.cbegin(), names.cend(), [](const QString &name) { return name.contains(u'_') && isKnownLanguage(name); });
    return underscore ? language.replace(u'-', u'_') : language.replace(u'_', u'-');
}

} // namespace

QString jsonTargetFor(const QString &source, const QString &language)
{
    const QFileInfo file(source);
    const QDir dir = file.dir();
    if (isKnownLanguage(dir.dirName())) {
        const QDir languages(dir.path() + u"/.."_s);
        const QString name = webName(language, languages.entryList(QDir::Dirs | QDir::NoDotAndDotDot));
        return QDir::cleanPath(languages.path() + u'/' + name + u'/' + file.fileName());
    }
    QStringList names;
    for (const QFileInfo &sibling : dir.entryInfoList({u"*."_s + file.suffix()}, QDir::Files))
        names.append(sibling.completeBaseName());
    return dir.filePath(webName(language, names) + u'.' + file.suffix());
}

QString jsonSourceFor(const QString &target, const QString &sourceLanguage)
{
    if (jsonFileLanguage(target).isEmpty())
        return {};
    const QString source = jsonTargetFor(target, sourceLanguage);
    return source == target ? QString() : source;
}

QString arbTargetFor(const QString &source, const QString &language)
{
    const QFileInfo file(source);
    const QString base = file.completeBaseName();
    const QString own = languageFromFileName(source);
    const QString prefix = own.isEmpty() ? base + u'_' : base.left(base.size() - own.size());
    return file.dir().filePath(prefix + QString(language).replace(u'-', u'_') + u".arb"_s);
}

namespace {

bool isBase(const QDir &folder)
{
    return folder.dirName().compare(u"Base.lproj"_s, Qt::CaseInsensitive) == 0;
}

// The development region an Xcode project names for the localization
// folder ("developmentRegion = en;" in project.pbxproj), looked for beside
// the folder and in the folders above it; `otherwise` when none says.
QString developmentRegion(const QDir &lproj, const QString &otherwise)
{
    static const QRegularExpression region(u"\\bdevelopmentRegion = \"?([\\w-]+)\"?;"_s);
    QDir dir(lproj.path() + u"/.."_s);
    for (int up = 0; up < 4; ++up) {
        for (const QString &project : dir.entryList({u"*.xcodeproj"_s}, QDir::Dirs)) {
            QFile file(dir.filePath(project + u"/project.pbxproj"_s));
            const QString named = file.open(QIODevice::ReadOnly)
                ? region.match(QString::fromUtf8(file.readAll())).captured(1)
                : QString();
            if (const auto tag = languages::readLprojName(named + u".lproj"_s))
                return tag->bcp47();
        }
        if (!dir.cdUp())
            break;
    }
    return otherwise;
}

} // namespace

bool appleIsSource(const QString &path, const QString &sourceLanguage)
{
    const QDir folder = QFileInfo(path).dir();
    const auto tag = languages::readLprojName(folder.dirName());
    return isBase(folder) || (tag && sameLanguage(tag->bcp47(), developmentRegion(folder, sourceLanguage)));
}

QString appleTargetFor(const QString &source, const QString &language)
{
    const QFileInfo file(source);
    const QDir folder = file.dir();
    QStringList names; // the project's localization folders, without ".lproj"
    for (const QString &name : QDir(folder.path() + u"/.."_s).entryList({u"*.lproj"_s}, QDir::Dirs))
        names.append(name.chopped(6));
    return QDir::cleanPath(folder.path() + u"/../"_s + webName(language, names) + u".lproj/"_s + file.fileName());
}

QString appleSourceFor(const QString &target, const QString &sourceLanguage)
{
    const QFileInfo file(target);
    if (!languages::readLprojName(file.dir().dirName()) && !isBase(file.dir()))
        return {};
    const QString own = appleTargetFor(target, developmentRegion(file.dir(), sourceLanguage));
    const QString base = QDir::cleanPath(file.dir().path() + u"/../Base.lproj/"_s + file.fileName());
    const QString source = QFileInfo::exists(own) || !QFileInfo::exists(base) ? own : base;
    return QFileInfo(source).absoluteFilePath() == file.absoluteFilePath() ? QString() : source;
}

QString androidTargetFor(const QString &source, const QString &language)
{
    const QFileInfo file(source);
    const auto tag = languages::readLanguageTag(language);
    const QString qualifier = tag ? languages::androidQualifier(*tag) : language;
    return QDir::cleanPath(
        file.dir().path() + u"/../"_s + androidFolder(file.dir().dirName(), qualifier) + u'/' + file.fileName());
}

} // namespace tarnix::fill
