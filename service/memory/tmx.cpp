#include "service/memory/tmx.h"

#include <QCoreApplication>
#include <QIODevice>
#include <QXmlStreamWriter>

#include "languages/languagetags.h"
#include "service/memory/translationmemory.h"

using namespace Qt::StringLiterals;
using tarnix::languages::readLanguageCode;

namespace tarnix::service {

namespace {

const QString xmlNamespace = u"http://www.w3.org/XML/1998/namespace"_s;

QString languageOf(const QXmlStreamAttributes &attributes)
{
    // TMX 1.4 says xml:lang; 1.1 said lang.
    const auto lang = attributes.hasAttribute(xmlNamespace, u"lang"_s) ? attributes.value(xmlNamespace, u"lang"_s)
                                                                       : attributes.value(u"lang"_s);
    return lang.toString();
}

// XML 1.0 carries tabs, line ends and the characters from U+0020 on, save
// lone surrogates and U+FFFE/U+FFFF: a text with anything else cannot be
// written to a TMX file that any reader accepts.
bool fitsXml(const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c == u'\t' || c == u'\n' || c == u'\r' || (c >= 0x20 && c < 0xD800) || (c >= 0xE000 && c < 0xFFFE))
            continue;
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && QChar::isLowSurrogate(text[i + 1].unicode())) {
            ++i;
            continue;
        }
        return false;
    }
    return true;
}

// Writes `text` as character data: a carriage return as a character
// reference, which a reader keeps (a bare one it would turn into a line feed).
void writeText(QXmlStreamWriter &xml, const QString &text)
{
    qsizetype from = 0;
    for (qsizetype at = text.indexOf(u'\r'); at >= 0; at = text.indexOf(u'\r', from)) {
        xml.writeCharacters(text.mid(from, at - from));
        xml.writeEntityReference(u"#13"_s);
        from = at + 1;
    }
    xml.writeCharacters(text.mid(from));
}

} // namespace

TmxReader::TmxReader(QIODevice *device)
    : xml(device)
{ }

QString TmxReader::readText()
{
    // Like readElementText(IncludeChildElements), but an entity the file
    // never declares stops the reading instead of vanishing from the text.
    QString text;
    for (int depth = 1; depth > 0 && !xml.atEnd();) {
        switch (xml.readNext()) {
        case QXmlStreamReader::Characters:
            text += xml.text();
            break;
        case QXmlStreamReader::StartElement:
            ++depth;
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            break;
        case QXmlStreamReader::EntityReference:
            problem = u"line %1: the entity &%2; is not declared"_s.arg(xml.lineNumber()).arg(xml.name());
            xml.raiseError(problem);
            return text;
        default:
            break;
        }
    }
    return text;
}

QString TmxReader::error() const
{
    if (!problem.isEmpty())
        return problem;
    if (xml.hasError())
        return u"line %1: %2"_s.arg(xml.lineNumber()).arg(xml.errorString());
    return {};
}

bool TmxReader::readHeader()
{
    const QString srclang = xml.attributes().value(u"srclang"_s).toString();
    if (!srclang.isEmpty() && srclang != u"*all*") {
        const auto code = readLanguageCode(srclang);
        if (!code) {
            problem = u"line %1: the header's srclang \"%2\" is no language code"_s.arg(xml.lineNumber()).arg(srclang);
            return false;
        }
        headerSource = *code;
    }
    QStringList notes;
    while (xml.readNextStartElement()) {
        if (xml.name() == u"note")
            notes.append(readText().trimmed());
        else
            xml.skipCurrentElement();
    }
    notes.removeAll(QString());
    headerNote = notes.join(u"; "_s);
    return !xml.hasError();
}

std::optional<QList<TmxTranslation>> TmxReader::next()
{
    while (problem.isEmpty() && !xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const auto name = xml.name();
        if (name == u"header") {
            if (!readHeader())
                return std::nullopt;
        } else if (name == u"body") {
            inBody = true;
        } else if (name == u"tu" && inBody) {
            QList<TmxTranslation> unit = readUnit();
            if (xml.hasError() || !problem.isEmpty())
                return std::nullopt;
            if (unit.isEmpty())
                ++skippedUnits;
            return unit;
        } else if (name != u"tmx") {
            xml.skipCurrentElement();
        }
    }
    return std::nullopt;
}

QList<TmxTranslation> TmxReader::readUnit()
{
    const QString unitSource = xml.attributes().value(u"srclang"_s).toString();
    QString source = headerSource;
    if (!unitSource.isEmpty() && unitSource != u"*all*")
        source = readLanguageCode(unitSource).value_or(QString());
    QStringList notes;
    QString context;
    QString engine;
    QList<std::pair<QString, QString>> segments; // language, text
    while (xml.readNextStartElement()) {
        const auto name = xml.name();
        if (name == u"note") {
            notes.append(readText().trimmed());
        } else if (name == u"prop") {
            const QString type = xml.attributes().value(u"type"_s).toString();
            const QString value = readText();
            if (type == u"x-context")
                context = value;
            else if (type == u"x-tarnix-engine")
                engine = value;
        } else if (name == u"tuv") {
            const QString written = languageOf(xml.attributes());
            auto cached = languages.constFind(written);
            if (cached == languages.cend())
                cached = languages.insert(written, readLanguageCode(written));
            const std::optional<QString> &language = *cached;
            QString segment;
            bool found = false;
            while (xml.readNextStartElement()) {
                if (xml.name() == u"seg" && !found) {
                    segment = readText();
                    found = true;
                } else {
                    xml.skipCurrentElement();
                }
            }
            if (language && found)
                segments.append({*language, segment});
        } else {
            xml.skipCurrentElement();
        }
    }
    if (xml.hasError() || segments.isEmpty())
        return {};
    // The source segment: the one in the source language, or the first
    // where the file does not say which.
    qsizetype from = 0;
    if (!source.isEmpty()) {
        from = -1;
        for (qsizetype i = 0; i < segments.size() && from < 0; ++i) {
            if (segments[i].first == source)
                from = i;
        }
    }
    if (from < 0 || segments[from].second.isEmpty())
        return {};
    notes.removeAll(QString());
    const QString note = notes.isEmpty() ? headerNote : notes.join(u"; "_s);
    QList<TmxTranslation> translations;
    for (qsizetype i = 0; i < segments.size(); ++i) {
        if (segments[i].first == segments[from].first || segments[i].second.isEmpty())
            continue;
        translations.append({segments[from].first, segments[i].first, segments[from].second, segments[i].second,
            context, note, engine});
    }
    return translations;
}

TmxImport importTmx(QIODevice *device, const QString &note, TranslationMemory &memory)
{
    // A file's transaction writes every index page it touched to the log
    // once: the rows' digests scatter them, so larger transactions write far
    // less. A shared database's are kept short, as other services wait on them.
    const qsizetype transaction = memory.shared() ? 1000 : 10000;
    TmxImport result;
    TmxReader reader(device);
    QList<PersonTranslation> people;
    people.reserve(transaction);
    const auto flush = [&]() {
        if (people.isEmpty())
            return;
        if (const auto stored = memory.storePeople(people))
            result.people += *stored;
        else
            result.notStored += people.size();
        people.clear();
    };
    while (const auto unit = reader.next()) {
        for (const TmxTranslation &each : *unit) {
            const MemoryKey key {each.engine, each.source, each.target, each.text, each.context};
            if (each.engine.isEmpty()) {
                people.append({key, each.translation, each.note.isEmpty() ? note : each.note});
                if (people.size() >= transaction)
                    flush();
            } else if (memory.store(key, each.translation)) {
                ++result.machines;
            } else {
                ++result.notStored;
            }
        }
    }
    flush();
    result.skipped = reader.skipped();
    result.error = reader.error();
    return result;
}

TmxExport exportTmx(TranslationMemory &memory, QIODevice *device, bool peopleOnly)
{
    TmxExport result;
    QXmlStreamWriter xml(device);
    xml.setAutoFormatting(true);
    xml.setAutoFormattingIndent(1);
    xml.writeStartDocument();
    xml.writeDTD(u"<!DOCTYPE tmx SYSTEM \"tmx14.dtd\">"_s);
    xml.writeStartElement(u"tmx"_s);
    xml.writeAttribute(u"version"_s, u"1.4"_s);
    xml.writeEmptyElement(u"header"_s);
    xml.writeAttribute(u"creationtool"_s, u"tarnix-service"_s);
    xml.writeAttribute(u"creationtoolversion"_s, QCoreApplication::applicationVersion());
    xml.writeAttribute(u"segtype"_s, u"block"_s);
    xml.writeAttribute(u"o-tmf"_s, u"tarnix translation memory"_s);
    xml.writeAttribute(u"adminlang"_s, u"en"_s);
    xml.writeAttribute(u"srclang"_s, u"*all*"_s);
    xml.writeAttribute(u"datatype"_s, u"plaintext"_s);
    xml.writeStartElement(u"body"_s);
    const bool read = memory.forEachRow(
        peopleOnly,
        [&](const MemoryRow &row) {
            const MemoryKey &key = row.key;
            if (!fitsXml(key.text) || !fitsXml(row.translation) || !fitsXml(key.context) || !fitsXml(row.note)
                || !fitsXml(key.engine)) {
                ++result.unwritable;
                return true;
            }
            xml.writeStartElement(u"tu"_s);
            xml.writeAttribute(u"srclang"_s, key.source);
            const auto prop = [&](const QString &type, const QString &value) {
                xml.writeStartElement(u"prop"_s);
                xml.writeAttribute(u"type"_s, type);
                writeText(xml, value);
                xml.writeEndElement();
            };
            if (!key.context.isEmpty())
                prop(u"x-context"_s, key.context);
            if (!row.person)
                prop(u"x-tarnix-engine"_s, key.engine);
            if (row.person && !row.note.isEmpty()) {
                xml.writeStartElement(u"note"_s);
                writeText(xml, row.note);
                xml.writeEndElement();
            }
            for (const auto &[language, text] : {std::pair {key.source, key.text}, {key.target, row.translation}}) {
                xml.writeStartElement(u"tuv"_s);
                xml.writeAttribute(u"xml:lang"_s, language);
                xml.writeStartElement(u"seg"_s);
                writeText(xml, text);
                xml.writeEndElement();
                xml.writeEndElement();
            }
            xml.writeEndElement();
            ++result.written;
            return !xml.hasError();
        },
        &result.damaged);
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndDocument();
    if (!read)
        result.error = u"the memory could not be read to the end (see above)"_s;
    else if (xml.hasError())
        result.error = device->errorString();
    return result;
}

} // namespace tarnix::service
