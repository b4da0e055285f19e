#include "fill/formats/stringsdict.h"

#include <algorithm>
#include <optional>

#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QXmlStreamReader>

#include "fill/formats/strings.h"
#include "fill/languages.h"

using namespace Qt::StringLiterals;

namespace tarnix::fill {

namespace {

const QString formatKey = u"NSStringLocalizedFormatKey"_s;
const QStringList categoryOrder {u"zero"_s, u"one"_s, u"two"_s, u"few"_s, u"many"_s, u"other"_s};

bool isCategory(const QString &key)
{
    return categoryOrder.contains(key);
}

PlistValue readValue(QXmlStreamReader &reader, const QString &text)
{
    PlistValue value;
    if (reader.name() == u"string") {
        const xml::Content content = xml::readContent(reader, text);
        value.type = PlistValue::Type::String;
        value.text = content.text;
        value.span = content.span;
        return value;
    }
    value.span = xml::startSpan(reader, text);
    if (reader.name() != u"dict") {
        reader.skipCurrentElement();
        xml::finishSpan(value.span, reader, text);
        return value;
    }
    value.type = PlistValue::Type::Dict;
    while (reader.readNextStartElement()) {
        if (reader.name() != u"key") {
            reader.skipCurrentElement(); // a value without its key
            continue;
        }
        PlistMember member;
        member.keySpan = xml::startSpan(reader, text);
        member.key = reader.readElementText(QXmlStreamReader::IncludeChildElements);
        xml::finishSpan(member.keySpan, reader, text);
        if (!reader.readNextStartElement())
            break; // a key without its value ends the dictionary
        member.value = readValue(reader, text);
        value.members.push_back(std::move(member));
    }
    xml::finishSpan(value.span, reader, text);
    return value;
}

// Whether a format key holds words to translate beside its variables and
// placeholders ("Input limit exceeds %#@count@", not "%@ %#@count@").
bool hasWords(const QString &format)
{
    static const QRegularExpression placeholder(
        u"%(?:[1-9][0-9]*\\$)?(?:#@\\w+@|[-+ #0'.*0-9]*(?:hh|h|ll|l|q|z|t|j|L)?[a-zA-Z@%])"_s);
    static const QRegularExpression letter(u"\\p{L}"_s);
    return QString(format).remove(placeholder).contains(letter);
}

// A translation as a <string>'s content; nullopt for a control character,
// which XML 1.0 cannot hold.
std::optional<QString> escaped(const QString &translation)
{
    return xml::toXml(translation, {}, [](char32_t c) -> std::optional<QString> {
        switch (c) {
        case u'&':
            return u"&amp;"_s;
        case u'<':
            return u"&lt;"_s;
        case u'>':
            return u"&gt;"_s;
        default:
            break;
        }
        if (c < 0x20 && c != u'\n' && c != u'\t' && c != u'\r')
            return std::nullopt;
        return QString::fromUcs4(&c, 1);
    });
}

QString stringElement(const QString &content)
{
    return u"<string>"_s + content + u"</string>"_s;
}

// The edit that makes a <string> hold `content`.
xml::Edit contentEdit(const PlistValue &string, const QString &content)
{
    if (string.span.selfClosing())
        return {string.span.tagStart, string.span.end, stringElement(content)};
    return {string.span.tagEnd, string.span.contentEnd, content};
}

} // namespace

const PlistValue *PlistValue::member(const QString &key) const
{
    const PlistMember *found = find(key);
    return found ? &found->value : nullptr;
}

const PlistMember *PlistValue::find(const QString &key) const
{
    // The last of a key, as Foundation reads a dictionary.
    for (auto it = members.crbegin(); it != members.crend(); ++it) {
        if (it->key == key)
            return &*it;
    }
    return nullptr;
}

bool readPlist(const xml::Document &doc, PlistValue &root, QString &error)
{
    QXmlStreamReader reader(doc.text());
    root = PlistValue {};
    if (reader.readNextStartElement() && reader.name() == u"plist" && reader.readNextStartElement()
        && reader.name() == u"dict")
        root = readValue(reader, doc.text());
    while (!reader.atEnd() && !reader.hasError())
        reader.readNext();
    if (reader.hasError()) {
        error = doc.fault(reader);
        return false;
    }
    if (root.type != PlistValue::Type::Dict) {
        error = u"%1:1: not a property list (no <plist> holding a <dict>)"_s.arg(doc.path());
        return false;
    }
    return true;
}

bool StringsdictFormat::read(const CatalogFiles &files, Catalog &catalog, QString &error)
{
    catalog = Catalog {};
    catalog.path = files.target;
    m_units.clear();
    m_unitsOf.clear();
    m_targetRoot = PlistValue {};
    const QString sourcePath = files.source.isEmpty() ? files.target : files.source;
    if (!m_source.load(sourcePath, error) || !readPlist(m_source, m_sourceRoot, error))
        return false;
    m_hasTarget = QFileInfo::exists(files.target);
    if (m_hasTarget && sourcePath != files.target
        && (!m_target.load(files.target, error) || !readPlist(m_target, m_targetRoot, error)))
        return false;
    if (m_hasTarget && sourcePath == files.target) {
        m_target = m_source;
        m_targetRoot = m_sourceRoot;
    }
    catalog.language = lprojLanguage(files.target);
    catalog.sourceLanguage = lprojLanguage(sourcePath);
    m_sourceLanguage = catalog.sourceLanguage.isEmpty() ? u"en"_s : catalog.sourceLanguage;
    const QStringList sourceCategories = pluralCategoriesOf(m_sourceLanguage);
    const QStringList categories = pluralCategoriesOf(catalog.language.isEmpty() ? m_sourceLanguage : catalog.language);
    QSet<QString> otherRules;
    QSet<QString> ownTaken;
    const auto add = [&](Entry entry, const Unit &unit) {
        entry.id = int(m_units.size());
        m_unitsOf[unit.key].append(entry.id);
        m_units.append(unit);
        catalog.entries.append(entry);
    };
    for (const PlistMember &key : m_sourceRoot.members) {
        const PlistValue *format = key.value.member(formatKey);
        if (key.value.type != PlistValue::Type::Dict || !format || format->type != PlistValue::Type::String)
            continue;
        const PlistMember *there = m_hasTarget ? m_targetRoot.find(key.key) : nullptr;
        if (there && there->value.type != PlistValue::Type::Dict)
            continue; // the target holds something else there: left alone
        const PlistValue *target = there ? &there->value : nullptr;
        const int line = there ? m_target.lineAt(there->keySpan.tagStart) : m_source.lineAt(key.keySpan.tagStart);
        const auto targetText = [](const PlistValue *value) {
            return value && value->type == PlistValue::Type::String ? value->text : QString();
        };
        const bool words = hasWords(format->text);
        if (words) {
            Entry entry;
            entry.key = key.key + keySeparator + formatKey;
            entry.source = format->text;
            entry.line = line;
            entry.translations = {targetText(target ? target->member(formatKey) : nullptr)};
            add(entry, {key.key, {}, {}});
        }
        for (const PlistMember &variable : key.value.members) {
            const PlistValue *ruleType = variable.value.member(u"NSStringFormatSpecTypeKey"_s);
            if (variable.value.type != PlistValue::Type::Dict || !ruleType)
                continue;
            if (ruleType->text != u"NSStringPluralRuleType"_s) {
                otherRules.insert(key.key);
                continue;
            }
            QHash<QString, QString> forms;
            for (const PlistMember &form : variable.value.members) {
                if (isCategory(form.key) && form.value.type == PlistValue::Type::String)
                    forms.insert(form.key, form.value.text);
            }
            const PlistValue *targetForms = target ? target->member(variable.key) : nullptr;
            if (!forms.contains(u"other"_s)
                || (target && (!targetForms || targetForms->type != PlistValue::Type::Dict)))
                continue; // no plural to start from, or a target laid out otherwise: left alone
            const auto targetForm = [&](const QString &category) {
                return targetText(targetForms ? targetForms->member(category) : nullptr);
            };
            Entry plural;
            plural.key = key.key + keySeparator + variable.key;
            plural.plural = true;
            plural.pluralSource = forms.value(u"other"_s);
            plural.source = forms.value(u"one"_s, plural.pluralSource);
            plural.line = line;
            if (words)
                plural.notes = {u"Shown within: "_s + format->text};
            for (const QString &category : categories)
                plural.translations.append(targetForm(category));
            add(plural, {key.key, variable.key, {}, plural.pluralSource.isEmpty() && plural.source.isEmpty()});
            for (const QString &category : categoryOrder) {
                if (!forms.contains(category) || sourceCategories.contains(category))
                    continue;
                // A language whose own rule has the category counts more
                // than 0 in it (Latvian's "zero" takes 10 to 20 too): the
                // plural's text goes there, not the one for 0 alone.
                if (categories.contains(category)) {
                    ownTaken.insert(key.key);
                    continue;
                }
                Entry own;
                own.key = plural.key + keySeparator + category;
                own.source = forms.value(category);
                own.line = line;
                own.notes = {u"The text for a count of 0"_s};
                if (category != u"zero"_s)
                    own.notes = {u"The text for the plural category \"%1\""_s.arg(category)};
                own.translations = {targetForm(category)};
                add(own, {key.key, variable.key, category});
            }
        }
    }
    if (!ownTaken.isEmpty())
        catalog.notices.append(u"%1: %2 keys' texts for 0 (\"zero\") not used: %3 counts other numbers as \"zero\" "
                               u"too, which take the plural's translation"_s.arg(files.target)
                                   .arg(ownTaken.size())
                                   .arg(catalog.language));
    if (!otherRules.isEmpty())
        catalog.notices.append(
            u"%1: %2 keys with rules other than plural left as they are (tarnix-fill does not fill them)"_s
                .arg(sourcePath)
                .arg(otherRules.size()));
    return true;
}

QString StringsdictFormat::keyText(
    const PlistMember &sourceKey, const QHash<int, QStringList> &forms, const QString &language, bool &complete) const
{
    const QString &text = m_source.text();
    const QStringList categories = pluralCategoriesOf(language);
    const qsizetype start = sourceKey.keySpan.tagStart;
    QList<xml::Edit> edits;
    complete = true;
    const QList<int> ids = m_unitsOf.value(sourceKey.key);
    for (int id : ids) {
        const Unit &unit = m_units[id];
        if (!unit.category.isEmpty())
            continue;
        if (unit.variable.isEmpty()) {
            const auto content = escaped(forms.value(id).value(0));
            if (!forms.contains(id) || !content) {
                complete = false;
                continue;
            }
            edits.append(contentEdit(*sourceKey.value.member(formatKey), *content));
            continue;
        }
        const PlistValue &variable = *sourceKey.value.member(unit.variable);
        // The source's forms out, the target language's in after the type keys.
        qsizetype previous = variable.span.tagEnd;
        qsizetype insertAt = variable.span.tagEnd;
        for (const PlistMember &member : variable.members) {
            if (isCategory(member.key))
                edits.append({previous, member.value.span.end, {}});
            else
                insertAt = member.value.span.end;
            previous = member.value.span.end;
        }
        const QString lineBreak =
            variable.members.empty() ? QString() : xml::breakBefore(text, variable.members.front().keySpan.tagStart);
        QString added;
        for (const QString &category : categoryOrder) {
            QString form;
            const auto own = std::find_if(ids.cbegin(), ids.cend(), [&](int other) {
                return m_units[other].variable == unit.variable && m_units[other].category == category;
            });
            if (own != ids.cend())
                form = forms.value(*own).value(0);
            else if (categories.contains(category))
                form = formOfCategory(forms.value(id), categories, category);
            else
                continue;
            const auto content = escaped(form);
            if (unit.blank) {
                added += lineBreak + u"<key>"_s + category + u"</key>"_s + lineBreak + stringElement({});
                continue;
            }
            if (form.isEmpty() || !content) {
                complete = false;
                continue;
            }
            added += lineBreak + u"<key>"_s + category + u"</key>"_s + lineBreak + stringElement(*content);
        }
        edits.append({insertAt, insertAt, added});
    }
    for (xml::Edit &edit : edits) {
        edit.start -= start;
        edit.end -= start;
    }
    return xml::applied(text.mid(start, sourceKey.value.span.end - start), edits);
}

WriteResult StringsdictFormat::write(const QList<Fill> &fills, const QString &language, int)
{
    QHash<int, QStringList> forms;
    for (const Fill &fill : fills) {
        if (fill.id >= 0 && fill.id < m_units.size() && !fill.forms.isEmpty())
            forms.insert(fill.id, fill.forms);
    }
    const QStringList categories = pluralCategoriesOf(language);
    WriteResult result;
    result.ok = true;
    const auto skip = [&result](int id, const QString &why) {
        result.skipped.append(id);
        result.skippedWhy = why;
    };
    const QString incomplete = u"the other texts of its stringsdict key were not translated"_s;
    const QString controls = u"a property list cannot hold a control character"_s;
    QList<xml::Edit> edits;
    const PlistMember *anchor = nullptr; // the last source key the target has
    for (const PlistMember &key : m_sourceRoot.members) {
        QList<int> ids;
        for (int id : m_unitsOf.value(key.key)) {
            if (forms.contains(id))
                ids.append(id);
        }
        const PlistMember *there = m_hasTarget ? m_targetRoot.find(key.key) : nullptr;
        if (there && there->value.type == PlistValue::Type::Dict) {
            anchor = there;
            const QString &text = m_target.text();
            // Filled in place: each empty or missing string of the key.
            QHash<QString, QHash<QString, QString>> wanted; // variable -> category -> text
            for (int id : std::as_const(ids)) {
                const Unit &unit = m_units[id];
                if (unit.variable.isEmpty()) {
                    const PlistValue *format = there->value.member(formatKey);
                    const auto content = escaped(forms[id].value(0));
                    if (!content)
                        skip(id, controls);
                    else if (format && format->type == PlistValue::Type::String)
                        edits.append(contentEdit(*format, *content));
                    continue;
                }
                QHash<QString, QString> &variable = wanted[unit.variable];
                if (!unit.category.isEmpty()) {
                    variable.insert(unit.category, forms[id].value(0)); // its own entry goes before the plural's form
                    continue;
                }
                for (const QString &category : categories) {
                    if (!variable.contains(category))
                        variable.insert(category, formOfCategory(forms[id], categories, category));
                }
            }
            for (auto variable = wanted.cbegin(); variable != wanted.cend(); ++variable) {
                const PlistValue *dict = there->value.member(variable.key());
                if (!dict || dict->type != PlistValue::Type::Dict || dict->members.empty())
                    continue;
                for (const QString &category : categoryOrder) {
                    const QString form = variable->value(category);
                    const auto content = escaped(form);
                    const PlistValue *string = dict->member(category);
                    if (form.isEmpty() || !content
                        || (string && (string->type != PlistValue::Type::String || !string->text.isEmpty())))
                        continue;
                    if (string) {
                        edits.append(contentEdit(*string, *content));
                        continue;
                    }
                    // Missing: after the category before it, else before the one after it.
                    const int order = int(categoryOrder.indexOf(category));
                    const PlistMember *after = nullptr;
                    const PlistMember *before = nullptr;
                    for (const PlistMember &member : dict->members) {
                        const int at = int(categoryOrder.indexOf(member.key));
                        if (at >= 0 && at < order)
                            after = &member;
                        else if (at > order && !before)
                            before = &member;
                    }
                    const QString element = u"<key>"_s + category + u"</key>"_s;
                    if (after || !before) {
                        const PlistMember &last = after ? *after : dict->members.back();
                        const QString lineBreak = xml::breakBefore(text, last.keySpan.tagStart);
                        edits.append({last.value.span.end, last.value.span.end,
                            lineBreak + element + lineBreak + stringElement(*content)});
                    } else {
                        const QString lineBreak = xml::breakBefore(text, before->keySpan.tagStart);
                        edits.append({before->keySpan.tagStart, before->keySpan.tagStart,
                            element + lineBreak + stringElement(*content) + lineBreak});
                    }
                }
            }
            continue;
        }
        if (there)
            continue; // the target holds something else under that key
        bool complete = false;
        const QString written = ids.isEmpty() ? QString() : keyText(key, forms, language, complete);
        if (!complete) {
            for (int id : std::as_const(ids))
                skip(id, incomplete);
            if (!m_hasTarget) { // the key out of the new file, with the white space before it
                const std::vector<PlistMember> &members = m_sourceRoot.members;
                const qsizetype index = &key - members.data();
                const qsizetype from = index > 0 ? members[index - 1].value.span.end : m_sourceRoot.span.tagEnd;
                edits.append({from, key.value.span.end, {}});
            }
            continue;
        }
        if (!m_hasTarget) {
            edits.append({key.keySpan.tagStart, key.value.span.end, written});
            continue;
        }
        // A key the target lacks goes after the one it follows in the source.
        const QString &text = m_target.text();
        const std::vector<PlistMember> &members = m_targetRoot.members;
        if (anchor) {
            edits.append({anchor->value.span.end, anchor->value.span.end,
                xml::breakBefore(text, anchor->keySpan.tagStart) + written});
        } else if (!members.empty()) {
            const qsizetype at = members.front().keySpan.tagStart;
            edits.append({at, at, written + xml::breakBefore(text, at)});
        } else if (!m_targetRoot.span.selfClosing()) {
            const qsizetype at = m_targetRoot.span.contentEnd;
            edits.append({at, at, xml::breakBefore(m_source.text(), key.keySpan.tagStart) + written + u'\n'});
        }
    }
    result.bytes = m_hasTarget ? m_target.encode(xml::applied(m_target.text(), edits))
                               : m_source.encode(xml::applied(m_source.text(), edits));
    return result;
}

} // namespace tarnix::fill
