#include "fill/icumessage.h"

#include <algorithm>
#include <memory>

#include <QHash>
#include <QSet>

#include <unicode/messagepattern.h>
#include <unicode/msgfmt.h>
#include <unicode/plurrule.h>
#include <unicode/utypes.h>

#include "fill/cldrplurals.h"
#include "fill/languages.h"

using namespace Qt::StringLiterals;

namespace tarnix::fill {

namespace {

using Part = icu::MessagePattern::Part;

icu::UnicodeString toIcu(const QString &text)
{
    return icu::UnicodeString(reinterpret_cast<const UChar *>(text.utf16()), int32_t(text.size()));
}

QString fromIcu(const icu::UnicodeString &text)
{
    return QString::fromUtf16(reinterpret_cast<const char16_t *>(text.getBuffer()), text.length());
}

icu::Locale localeOf(const QString &language)
{
    return icu::Locale(icuLocaleName(language).toLatin1().constData());
}

// Builds the tree of a message from ICU's parts.
struct Reader
{
    const icu::MessagePattern &pattern;
    const QString &source;
    int nextId = 0;

    QString text(int32_t start, int32_t limit) const { return source.mid(start, limit - start); }

    // The nodes of the message whose MSG_START is part `start`; returns the
    // index of its MSG_LIMIT.
    int message(int start, bool numberContext, std::vector<IcuNode> &out)
    {
        int32_t position = pattern.getPart(start).getLimit();
        IcuNode run;
        run.numberContext = numberContext;
        const auto literal = [&](int32_t upTo) {
            if (upTo <= position)
                return;
            if (!run.pieces.isEmpty() && run.pieces.last().kind == IcuPiece::Kind::Literal)
                run.pieces.last().text += text(position, upTo);
            else
                run.pieces.append({IcuPiece::Kind::Literal, text(position, upTo)});
        };
        const auto flush = [&] {
            if (run.pieces.isEmpty())
                return;
            run.id = nextId++;
            out.push_back(run);
            run.pieces.clear();
        };
        for (int i = start + 1;; ++i) {
            const Part &part = pattern.getPart(i);
            switch (part.getType()) {
            case UMSGPAT_PART_TYPE_MSG_LIMIT:
                literal(part.getIndex());
                flush();
                return i;
            case UMSGPAT_PART_TYPE_SKIP_SYNTAX: // a quoting apostrophe
                literal(part.getIndex());
                position = part.getLimit();
                break;
            case UMSGPAT_PART_TYPE_REPLACE_NUMBER:
                literal(part.getIndex());
                run.pieces.append({IcuPiece::Kind::Number, u"#"_s});
                position = part.getLimit();
                break;
            case UMSGPAT_PART_TYPE_ARG_START: {
                literal(part.getIndex());
                const int end = pattern.getLimitPartIndex(i);
                const int32_t after = pattern.getPart(end).getLimit();
                const UMessagePatternArgType type = part.getArgType();
                if (type == UMSGPAT_ARG_TYPE_PLURAL || type == UMSGPAT_ARG_TYPE_SELECTORDINAL
                    || type == UMSGPAT_ARG_TYPE_SELECT) {
                    flush();
                    out.push_back(argument(i, end));
                } else {
                    // A simple argument, or a whole ChoiceFormat one: part of the text.
                    run.pieces.append({IcuPiece::Kind::Argument, text(part.getIndex(), after)});
                }
                position = after;
                i = end;
                break;
            }
            default: // INSERT_CHAR: an apostrophe ICU's auto-quoting would add
                break;
            }
        }
    }

    IcuNode argument(int start, int end)
    {
        const Part &first = pattern.getPart(start);
        IcuNode node;
        switch (first.getArgType()) {
        case UMSGPAT_ARG_TYPE_PLURAL:
            node.kind = IcuNode::Kind::Plural;
            break;
        case UMSGPAT_ARG_TYPE_SELECTORDINAL:
            node.kind = IcuNode::Kind::Ordinal;
            break;
        default:
            node.kind = IcuNode::Kind::Select;
            break;
        }
        int32_t previous = -1;
        for (int i = start + 1; i < end; ++i) {
            const Part &selector = pattern.getPart(i);
            if (selector.getType() != UMSGPAT_PART_TYPE_ARG_SELECTOR)
                continue;
            if (previous < 0)
                node.head = text(first.getIndex(), selector.getIndex());
            IcuNode branch;
            branch.kind = IcuNode::Kind::Branch;
            branch.before = previous < 0 ? QString() : text(previous, selector.getIndex());
            branch.selector = text(selector.getIndex(), selector.getLimit());
            int messageStart = i + 1;
            if (pattern.getPart(messageStart).getType() != UMSGPAT_PART_TYPE_MSG_START)
                ++messageStart; // the number of an "=N" selector
            branch.between = text(selector.getLimit(), pattern.getPart(messageStart).getIndex());
            i = message(messageStart, node.kind != IcuNode::Kind::Select, branch.children);
            previous = pattern.getPart(i).getLimit();
            node.children.push_back(std::move(branch));
        }
        node.tail = text(previous, pattern.getPart(end).getLimit());
        return node;
    }
};

bool hasLetter(const IcuNode &run)
{
    return std::any_of(run.pieces.cbegin(), run.pieces.cend(), [](const IcuPiece &piece) {
        return piece.kind == IcuPiece::Kind::Literal
            && std::any_of(piece.text.cbegin(), piece.text.cend(), [](QChar c) { return c.isLetter(); });
    });
}

// One branch of an argument as the target language has it.
struct Chosen
{
    const IcuNode *branch;
    QString selector;
    QString before;
};

QList<Chosen> chosenBranches(const IcuNode &argument, const QString &language)
{
    const std::vector<IcuNode> &branches = argument.children;
    // Between branches, as the source separates them.
    const QString separator = branches.size() > 1 ? branches[1].before : u" "_s;
    QList<Chosen> chosen;
    const auto add = [&](const IcuNode &branch, const QString &selector) {
        const bool sourceFirst = &branch == &branches.front();
        chosen.append({&branch, selector, chosen.isEmpty() ? QString() : sourceFirst ? separator : branch.before});
    };
    if (argument.kind == IcuNode::Kind::Select) {
        for (const IcuNode &branch : branches)
            add(branch, branch.selector);
        return chosen;
    }
    const IcuNode *other = nullptr;
    for (const IcuNode &branch : branches) {
        if (branch.selector.startsWith(u'='))
            add(branch, branch.selector);
        else if (branch.selector == u"other")
            other = &branch;
    }
    for (const QString &category : icuCategories(language, argument.kind == IcuNode::Kind::Ordinal)) {
        const auto same = std::find_if(
            branches.cbegin(), branches.cend(), [&](const IcuNode &branch) { return branch.selector == category; });
        const IcuNode *from = same != branches.cend() ? &*same : other;
        if (from)
            add(*from, category);
    }
    return chosen;
}

// Calls `visit` for every text run of the nodes the target keeps, in order.
template <typename Visit> void eachRun(const std::vector<IcuNode> &nodes, const QString &language, Visit &&visit)
{
    for (const IcuNode &node : nodes) {
        if (node.kind == IcuNode::Kind::Text) {
            visit(node);
            continue;
        }
        for (const Chosen &chosen : chosenBranches(node, language))
            eachRun(chosen.branch->children, language, visit);
    }
}

// The text an engine is asked for a run, white space at its ends left out.
QString askedText(const IcuNode &run, const QString &numberName)
{
    QString text;
    for (const IcuPiece &piece : run.pieces)
        text += piece.kind == IcuPiece::Kind::Number ? u'{' + numberName + u'}' : piece.text;
    return text;
}

std::pair<QString, QString> edges(const QString &text)
{
    qsizetype start = 0;
    while (start < text.size() && text[start].isSpace())
        ++start;
    qsizetype end = text.size();
    while (end > start && text[end - 1].isSpace())
        --end;
    return {text.left(start), text.mid(end)};
}

// An engine's answer for a run as pieces: the run's arguments and "#" found
// where the answer has them, the rest literal text.
QList<IcuPiece> answerPieces(const IcuNode &run, const QString &answer, const QString &numberName)
{
    QList<IcuPiece> tokens;
    for (const IcuPiece &piece : run.pieces) {
        if (piece.kind == IcuPiece::Kind::Argument)
            tokens.append(piece);
        else if (piece.kind == IcuPiece::Kind::Number)
            tokens.append({IcuPiece::Kind::Number, u'{' + numberName + u'}'});
    }
    std::sort(tokens.begin(), tokens.end(),
        [](const IcuPiece &a, const IcuPiece &b) { return a.text.size() > b.text.size(); });
    QList<IcuPiece> pieces;
    for (qsizetype i = 0; i < answer.size();) {
        const auto token = std::find_if(tokens.cbegin(), tokens.cend(),
            [&](const IcuPiece &t) { return QStringView(answer).sliced(i).startsWith(t.text); });
        if (token != tokens.cend()) {
            pieces.append({token->kind, token->kind == IcuPiece::Kind::Number ? u"#"_s : token->text});
            i += token->text.size();
            continue;
        }
        if (pieces.isEmpty() || pieces.last().kind != IcuPiece::Kind::Literal)
            pieces.append({IcuPiece::Kind::Literal, QString()});
        pieces.last().text += answer[i++];
    }
    return pieces;
}

// Literal text quoted as ICU's default apostrophe mode reads it: braces (and
// "#" where it would be a plural's number) inside quotes, an apostrophe
// doubled where it would otherwise start quoting or stands last.
QString quoted(const QString &text, bool numberContext)
{
    const auto special = [numberContext](QChar c) { return c == u'{' || c == u'}' || (numberContext && c == u'#'); };
    QString out;
    for (qsizetype i = 0; i < text.size();) {
        const QChar c = text[i];
        if (special(c)) {
            out += u'\'';
            for (; i < text.size() && (special(text[i]) || text[i] == u'\''); ++i)
                out += text[i] == u'\'' ? u"''"_s : QString(text[i]);
            out += u'\'';
        } else if (c == u'\'') {
            const bool plain = i + 1 < text.size() && !special(text[i + 1]) && text[i + 1] != u'\'';
            out += plain ? u"'"_s : u"''"_s;
            ++i;
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

QString written(const QList<IcuPiece> &pieces, bool numberContext)
{
    QString out;
    for (const IcuPiece &piece : pieces)
        out += piece.kind == IcuPiece::Kind::Literal ? quoted(piece.text, numberContext) : piece.text;
    return out;
}

QString render(const std::vector<IcuNode> &nodes, const QString &language, const QHash<int, QString> &answers,
    const QString &numberName)
{
    QString out;
    for (const IcuNode &node : nodes) {
        if (node.kind == IcuNode::Kind::Text) {
            const auto answer = answers.constFind(node.id);
            if (answer == answers.cend()) {
                out += written(node.pieces, node.numberContext);
                continue;
            }
            const auto [leading, trailing] = edges(askedText(node, numberName));
            out += leading + written(answerPieces(node, answer->trimmed(), numberName), node.numberContext) + trailing;
            continue;
        }
        out += node.head;
        for (const Chosen &chosen : chosenBranches(node, language)) {
            out += chosen.before + chosen.selector + chosen.branch->between + u'{'
                + render(chosen.branch->children, language, answers, numberName) + u'}';
        }
        out += node.tail;
    }
    return out;
}

// The texts to ask, once each, in order, and the index of each run's text.
struct Asked
{
    QStringList texts;
    QHash<int, qsizetype> index; // run id -> its text in texts
};

Asked asked(const IcuMessage &message, const QString &language)
{
    Asked result;
    eachRun(message.nodes, language, [&](const IcuNode &run) {
        if (!hasLetter(run) || result.index.contains(run.id))
            return;
        const QString text = askedText(run, message.numberName).trimmed();
        qsizetype at = result.texts.indexOf(text);
        if (at < 0) {
            at = result.texts.size();
            result.texts.append(text);
        }
        result.index.insert(run.id, at);
    });
    return result;
}

} // namespace

IcuMessage parseIcuMessage(const QString &text)
{
    IcuMessage message;
    UErrorCode status = U_ZERO_ERROR;
    UParseError where {};
    const icu::MessagePattern pattern(toIcu(text), &where, status);
    if (U_FAILURE(status)) {
        message.error =
            u"the ICU message does not parse (%1 at character %2)"_s.arg(QString::fromLatin1(u_errorName(status)))
                .arg(where.offset + 1);
        return message;
    }
    QSet<QString> names;
    for (int i = 0; i < pattern.countParts(); ++i) {
        const Part &part = pattern.getPart(i);
        if (part.getType() == UMSGPAT_PART_TYPE_ARG_NAME)
            names.insert(fromIcu(pattern.getSubstring(part)));
    }
    message.numberName = u"count"_s;
    for (int i = 1; names.contains(message.numberName); ++i)
        message.numberName = i == 1 ? u"n"_s : u"count%1"_s.arg(i);
    Reader reader {pattern, text};
    reader.message(0, false, message.nodes);
    message.textCount = reader.nextId;
    return message;
}

QStringList icuTexts(const IcuMessage &message, const QString &language)
{
    return asked(message, language).texts;
}

IcuRebuilt rebuildIcuMessage(const IcuMessage &message, const QString &language, const QStringList &answers)
{
    if (!message.error.isEmpty())
        return {{}, message.error};
    const Asked texts = asked(message, language);
    if (answers.size() != texts.texts.size())
        return {{}, u"%1 answers for the %2 texts of the ICU message"_s.arg(answers.size()).arg(texts.texts.size())};
    QHash<int, QString> byId;
    for (auto i = texts.index.cbegin(); i != texts.index.cend(); ++i)
        byId.insert(i.key(), answers[i.value()]);
    const QString rebuilt = render(message.nodes, language, byId, message.numberName);
    const QString error = icuFormatError(rebuilt, language);
    if (!error.isEmpty())
        return {{}, error};
    return {rebuilt, {}};
}

QString icuFormatError(const QString &message, const QString &language)
{
    UErrorCode status = U_ZERO_ERROR;
    UParseError where {};
    const icu::MessageFormat format(toIcu(message), localeOf(language), where, status);
    if (U_SUCCESS(status))
        return {};
    return u"the ICU message does not parse (%1 at character %2)"_s.arg(QString::fromLatin1(u_errorName(status)))
        .arg(where.offset + 1);
}

IcuArguments icuArguments(const QString &text)
{
    IcuArguments result;
    UErrorCode status = U_ZERO_ERROR;
    UParseError where {};
    const icu::MessagePattern pattern(toIcu(text), &where, status);
    if (U_FAILURE(status)) {
        result.error = u"%1 at character %2"_s.arg(QString::fromLatin1(u_errorName(status))).arg(where.offset + 1);
        result.missingOther = status == U_DEFAULT_KEYWORD_MISSING;
        return result;
    }
    for (int i = 0; i < pattern.countParts(); ++i) {
        const Part &start = pattern.getPart(i);
        if (start.getType() != UMSGPAT_PART_TYPE_ARG_START)
            continue;
        IcuArgument argument;
        argument.name = fromIcu(pattern.getSubstring(pattern.getPart(i + 1)));
        const int end = pattern.getLimitPartIndex(i);
        switch (start.getArgType()) {
        case UMSGPAT_ARG_TYPE_PLURAL:
            argument.type = u"plural"_s;
            break;
        case UMSGPAT_ARG_TYPE_SELECTORDINAL:
            argument.type = u"selectordinal"_s;
            break;
        case UMSGPAT_ARG_TYPE_SELECT:
            argument.type = u"select"_s;
            break;
        case UMSGPAT_ARG_TYPE_NONE:
            break;
        default: // simple, choice: the type as written
            if (i + 2 < end && pattern.getPart(i + 2).getType() == UMSGPAT_PART_TYPE_ARG_TYPE)
                argument.type = fromIcu(pattern.getSubstring(pattern.getPart(i + 2)));
            else
                argument.type = u"choice"_s;
            break;
        }
        // The selectors of this argument's own branches, not of nested ones.
        for (int j = i + 1; j < end; ++j) {
            const Part &part = pattern.getPart(j);
            if (part.getType() == UMSGPAT_PART_TYPE_ARG_SELECTOR)
                argument.selectors.append(fromIcu(pattern.getSubstring(part)));
            else if (part.getType() == UMSGPAT_PART_TYPE_MSG_START)
                j = pattern.getLimitPartIndex(j);
        }
        result.arguments.append(argument);
    }
    return result;
}

QStringList icuCategories(const QString &language, bool ordinal)
{
    if (!ordinal)
        return pluralCategories(icuLocaleName(language));
    UErrorCode status = U_ZERO_ERROR;
    const std::unique_ptr<icu::PluralRules> rules(
        icu::PluralRules::forLocale(localeOf(language), UPLURAL_TYPE_ORDINAL, status));
    if (U_FAILURE(status) || !rules)
        return {u"other"_s};
    const std::unique_ptr<icu::StringEnumeration> keywords(rules->getKeywords(status));
    QStringList present;
    while (keywords && U_SUCCESS(status)) {
        const icu::UnicodeString *keyword = keywords->snext(status);
        if (!keyword)
            break;
        present.append(fromIcu(*keyword));
    }
    QStringList ordered;
    for (const QString &category : {u"zero"_s, u"one"_s, u"two"_s, u"few"_s, u"many"_s}) {
        if (present.contains(category))
            ordered.append(category);
    }
    ordered.append(u"other"_s);
    return ordered;
}

} // namespace tarnix::fill
