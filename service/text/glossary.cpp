#include "service/text/glossary.h"

#include <algorithm>

#include <QCryptographicHash>
#include <QFile>
#include <QXmlStreamReader>

using namespace Qt::StringLiterals;

namespace tarnix::service {

namespace {

// The term and its simple plurals, lowercased: the plural goes on the last word.
QStringList formsOf(const QString &term)
{
    const QString lower = term.toLower();
    QStringList forms {lower, lower + u's', lower + u"es"_s};
    static const QString vowels = u"aeiou"_s;
    if (lower.size() > 2 && lower.endsWith(u'y') && !vowels.contains(lower[lower.size() - 2]))
        forms.append(lower.chopped(1) + u"ies"_s);
    return forms;
}

QRegularExpression wordsPattern(QStringList forms)
{
    std::stable_sort(
        forms.begin(), forms.end(), [](const QString &a, const QString &b) { return a.size() > b.size(); });
    for (QString &form : forms)
        form = QRegularExpression::escape(form);
    return QRegularExpression(uR"((?<![\p{L}\p{N}_])(?:)"_s + forms.join(u'|') + uR"()(?![\p{L}\p{N}_]))"_s,
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption);
}

// "pt-BR" and "pt_br" both as "pt-br"; and its primary language.
QString normalLanguage(const QString &code)
{
    return code.trimmed().toLower().replace(u'_', u'-');
}

bool sameLanguage(const QString &a, const QString &b)
{
    const QString x = normalLanguage(a);
    const QString y = normalLanguage(b);
    return x == y || x.section(u'-', 0, 0) == y || y.section(u'-', 0, 0) == x;
}

// One CSV line's fields; nothing when a quote is left open.
std::optional<QStringList> csvFields(const QString &line)
{
    QStringList fields;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (quoted) {
            if (c == u'"' && i + 1 < line.size() && line[i + 1] == u'"') {
                field += u'"';
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == u'"' && field.trimmed().isEmpty()) {
            field.clear();
            quoted = true;
        } else if (c == u',') {
            fields.append(field.trimmed());
            field.clear();
        } else {
            field += c;
        }
    }
    if (quoted)
        return std::nullopt;
    fields.append(field.trimmed());
    return fields;
}

} // namespace

Glossary::Glossary(const QList<GlossaryEntry> &entries)
{
    QStringList forms;
    for (const GlossaryEntry &entry : entries) {
        const GlossaryEntry trimmed {entry.source.simplified(), entry.target.simplified()};
        if (trimmed.source.isEmpty() || trimmed.target.isEmpty() || byForm.contains(trimmed.source.toLower()))
            continue;
        list.append(trimmed);
        // The term as written is its entry's even where it is the plural of another.
        byForm.insert(trimmed.source.toLower(), list.size() - 1);
    }
    for (qsizetype i = 0; i < list.size(); ++i) {
        for (const QString &form : formsOf(list[i].source)) {
            if (!byForm.contains(form))
                byForm.insert(form, i);
            forms.append(form);
        }
    }
    if (!list.isEmpty())
        pattern = wordsPattern(forms);
}

QList<GlossaryMatch> Glossary::find(QStringView text) const
{
    QList<GlossaryMatch> found;
    if (list.isEmpty())
        return found;
    auto it = pattern.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        const QString form = match.captured().toLower().simplified();
        const qsizetype entry = byForm.value(form, -1);
        if (entry >= 0)
            found.append({match.capturedStart(), match.capturedLength(), entry, list[entry].source.toLower() == form});
    }
    return found;
}

QList<GlossaryEntry> Glossary::occurringIn(QStringView text) const
{
    QList<qsizetype> seen;
    for (const GlossaryMatch &match : find(text)) {
        if (!seen.contains(match.entry))
            seen.append(match.entry);
    }
    std::sort(seen.begin(), seen.end());
    QList<GlossaryEntry> entries;
    for (const qsizetype i : seen)
        entries.append(list[i]);
    return entries;
}

std::optional<GlossaryEntry> Glossary::missingIn(QStringView source, QStringView translation) const
{
    for (const GlossaryEntry &entry : occurringIn(source)) {
        if (!uses(translation, entry.target))
            return entry;
    }
    return std::nullopt;
}

QString Glossary::digest() const
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const GlossaryEntry &entry : list)
        hash.addData((entry.source + u'\t' + entry.target + u'\n').toUtf8());
    return QString::fromLatin1(hash.result().toHex().left(12));
}

bool Glossary::uses(QStringView text, const QString &term)
{
    return wordsPattern(formsOf(term.simplified())).match(text).hasMatch();
}

QList<GlossaryEntry> GlossarySettings::entriesFor(const QString &source, const QString &target) const
{
    QList<GlossaryEntry> entries;
    // The exact language's table over its primary language's ("pt-BR" over "pt").
    QStringList keys = tables.keys();
    std::stable_sort(keys.begin(), keys.end(), [&](const QString &a, const QString &b) {
        return normalLanguage(a) == normalLanguage(target) && normalLanguage(b) != normalLanguage(target);
    });
    for (const QString &language : keys) {
        if (sameLanguage(language, target))
            entries += tables.value(language);
    }
    for (const auto &terms : concepts) {
        QString from;
        QString to;
        for (auto it = terms.cbegin(); it != terms.cend(); ++it) {
            if (from.isEmpty() && sameLanguage(it.key(), source) && !it.value().isEmpty())
                from = it.value().first();
            if (to.isEmpty() && sameLanguage(it.key(), target) && !it.value().isEmpty())
                to = it.value().first();
        }
        if (!from.isEmpty() && !to.isEmpty())
            entries.append({from, to});
    }
    return entries;
}

QString GlossarySettings::originFor(const QString &target) const
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData((host + u'\n').toUtf8());
    for (auto it = tableFiles.cbegin(); it != tableFiles.cend(); ++it) {
        if (sameLanguage(it.key(), target))
            hash.addData((it.value() + u'\n').toUtf8());
    }
    hash.addData(tbxFile.toUtf8());
    return QString::fromLatin1(hash.result().toHex().left(8));
}

std::variant<QList<GlossaryEntry>, QString> readGlossaryTable(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return u"cannot read the glossary %1: %2"_s.arg(path, file.errorString());
    const QByteArray bytes = file.readAll();
    QString text = QString::fromUtf8(bytes);
    if (text.toUtf8() != bytes)
        return u"the glossary %1 is not UTF-8"_s.arg(path);
    if (text.startsWith(u'\uFEFF'))
        text.remove(0, 1);
    const QStringList lines = text.split(u'\n');
    const bool tabs = lines.first().contains(u'\t');
    QList<GlossaryEntry> entries;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QString line = lines[i];
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.trimmed().isEmpty() || line.trimmed().startsWith(u'#'))
            continue;
        const auto fields = tabs ? std::optional(line.split(u'\t')) : csvFields(line);
        const QString where = u"the glossary %1, line %2: "_s.arg(path).arg(i + 1);
        if (!fields)
            return where + u"a quote is not closed"_s;
        if (fields->size() != 2 || fields->at(0).trimmed().isEmpty() || fields->at(1).trimmed().isEmpty())
            return where
                + u"a line is a source term and its translation, separated by a %1"_s.arg(tabs ? u"tab"_s : u"comma"_s);
        entries.append({fields->at(0).trimmed(), fields->at(1).trimmed()});
    }
    return entries;
}

std::variant<QList<QMap<QString, QStringList>>, QString> readTbx(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return u"cannot read the glossary %1: %2"_s.arg(path, file.errorString());
    QXmlStreamReader xml(&file);
    QList<QMap<QString, QStringList>> concepts;
    QString language;
    bool inConcept = false;
    while (!xml.atEnd()) {
        xml.readNext();
        const auto name = xml.name();
        if (xml.isStartElement()) {
            if (name == u"termEntry" || name == u"conceptEntry") {
                inConcept = true;
                concepts.append(QMap<QString, QStringList>());
            } else if (name == u"langSet" || name == u"langSec") {
                language = normalLanguage(xml.attributes().value(u"xml:lang"_s).toString());
                if (language.isEmpty() || !inConcept)
                    return u"the glossary %1, line %2: a %3 needs an xml:lang inside a term entry"_s.arg(path)
                        .arg(xml.lineNumber())
                        .arg(name.toString());
            } else if (name == u"term" && inConcept && !language.isEmpty()) {
                const qint64 line = xml.lineNumber();
                const QString term = xml.readElementText(QXmlStreamReader::IncludeChildElements).simplified();
                if (term.isEmpty())
                    return u"the glossary %1, line %2: an empty term"_s.arg(path).arg(line);
                concepts.last()[language].append(term);
            }
        } else if (xml.isEndElement()) {
            if (name == u"termEntry" || name == u"conceptEntry")
                inConcept = false;
            else if (name == u"langSet" || name == u"langSec")
                language.clear();
        }
    }
    if (xml.hasError())
        return u"the glossary %1, line %2: %3"_s.arg(path).arg(xml.lineNumber()).arg(xml.errorString());
    return concepts;
}

} // namespace tarnix::service
