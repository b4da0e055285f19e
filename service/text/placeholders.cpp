#include "service/text/placeholders.h"

#include <QList>
#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace tarnix::service {

namespace {

constexpr char16_t tokenOpen = u'\u27E6'; // ⟦
constexpr char16_t tokenClose = u'\u27E7'; // ⟧

const QRegularExpression &placeholderPattern()
{
    // Alternatives are tried left to right at each position: longer forms
    // ("{{name}}", "%1$s") come before the shorter ones they start with.
    static const QRegularExpression pattern(uR"(
          %% | %[1-9][0-9]?\$[-+#0]*[0-9]*(?:\.[0-9]+)?(?:hh|h|ll|l|L|z|j|t)?[diouxXeEfFgGaAcsp]
        | %[-+#0]*[0-9]*(?:\.[0-9]+)?(?:hh|h|ll|l|L|z|j|t)?[diouxXeEfFgGaAcsp]
        | %L?[1-9][0-9]?
        | \$\{[^{}\s]*\} | \{\{[^{}]*\}\} | \{[^{}\s]*\}
        | </?[A-Za-z][^<>]*> | <!--.*?-->
        | &(?:[A-Za-z][A-Za-z0-9]*|\#[0-9]+|\#[xX][0-9A-Fa-f]+);
        | [⟦⟧]
    )"_s,
        QRegularExpression::ExtendedPatternSyntaxOption | QRegularExpression::DotMatchesEverythingOption);
    return pattern;
}

QString token(qsizetype index)
{
    return QChar(tokenOpen) + QString::number(index) + QChar(tokenClose);
}

} // namespace

MaskedText maskPlaceholders(const QString &text)
{
    MaskedText masked;
    qsizetype last = 0;
    auto it = placeholderPattern().globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        masked.text += QStringView(text).sliced(last, match.capturedStart() - last);
        masked.text += token(masked.placeholders.size());
        masked.placeholders.append(match.captured());
        last = match.capturedEnd();
    }
    masked.text += QStringView(text).sliced(last);
    return masked;
}

std::optional<QString> unmaskPlaceholders(const QString &translated, const QStringList &placeholders)
{
    static const QRegularExpression tokenPattern(u"\u27E6([0-9]{1,6})\u27E7"_s);
    QList<bool> seen(placeholders.size(), false);
    QString out;
    qsizetype last = 0;
    auto it = tokenPattern.globalMatch(translated);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        const QStringView between = QStringView(translated).sliced(last, match.capturedStart() - last);
        if (between.contains(QChar(tokenOpen)) || between.contains(QChar(tokenClose)))
            return std::nullopt; // a token the engine broke apart
        const qsizetype index = match.capturedView(1).toLongLong();
        if (index >= placeholders.size() || seen[index])
            return std::nullopt;
        seen[index] = true;
        out += between;
        out += placeholders[index];
        last = match.capturedEnd();
    }
    const QStringView rest = QStringView(translated).sliced(last);
    if (rest.contains(QChar(tokenOpen)) || rest.contains(QChar(tokenClose)))
        return std::nullopt;
    if (seen.contains(false))
        return std::nullopt;
    out += rest;
    return out;
}

} // namespace tarnix::service
