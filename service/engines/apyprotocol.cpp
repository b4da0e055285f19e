#include "service/engines/apyprotocol.h"

#include <optional>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;

namespace tarnix::service {

namespace {

QByteArray formField(const char *key, const QString &value)
{
    return QByteArray(key) + '=' + value.toUtf8().toPercentEncoding();
}

// APy answers errors as {"status": "error", "code": 400, "explanation": ...}.
QString explanation(const QJsonObject &answer)
{
    const QString text = answer.value("explanation"_L1).toString();
    return text.isEmpty() ? answer.value("message"_L1).toString() : text;
}

EngineResult failure(EngineResult::Status status, const QString &detail)
{
    return EngineResult {status, QString(), detail, {}};
}

// An answer other than 200 is APy's refusal (400: no such pair) or its failure.
std::optional<EngineResult> refusal(int httpStatus, const QJsonObject &answer)
{
    if (httpStatus == 400)
        return failure(EngineResult::Status::Unsupported, explanation(answer));
    if (httpStatus != 200)
        return failure(
            EngineResult::Status::Unavailable, u"APy answered %1: %2"_s.arg(httpStatus).arg(explanation(answer)));
    return std::nullopt;
}

} // namespace

QByteArray apyPathBody(const QString &from, const QString &to)
{
    return formField("langpairs", from + u'|' + to);
}

std::variant<QStringList, EngineResult> parseApyPath(int httpStatus, const QByteArray &json)
{
    const QJsonObject answer = QJsonDocument::fromJson(json).object();
    if (auto refused = refusal(httpStatus, answer))
        return *refused;
    const QJsonArray chain = answer.value("responseData"_L1).toObject().value("translationChain"_L1).toArray();
    QStringList languages;
    for (const QJsonValue &language : chain)
        languages.append(language.toString());
    if (languages.size() < 2 || languages.contains(QString()))
        return failure(EngineResult::Status::Unavailable, u"APy answered without a translation chain"_s);
    return languages;
}

std::variant<QStringList, QString> parseApyPairs(int httpStatus, const QByteArray &json)
{
    if (httpStatus != 200)
        return u"APy answered %1 to /listPairs"_s.arg(httpStatus);
    const QJsonValue list = QJsonDocument::fromJson(json).object().value("responseData"_L1);
    if (!list.isArray())
        return u"the answer to /listPairs is not APy's list of pairs"_s;
    QStringList pairs;
    for (const QJsonValue &pair : list.toArray()) {
        const QString from = pair["sourceLanguage"_L1].toString();
        const QString to = pair["targetLanguage"_L1].toString();
        if (from.isEmpty() || to.isEmpty())
            return u"the answer to /listPairs is not APy's list of pairs"_s;
        pairs.append(from + u'|' + to);
    }
    return pairs;
}

QByteArray apyTranslateBody(const QString &from, const QString &to, const QString &text)
{
    return formField("langpair", from + u'|' + to) + '&' + formField("q", text) + "&markUnknown=no&format=txt";
}

EngineResult parseApyTranslation(int httpStatus, const QByteArray &json)
{
    const QJsonObject answer = QJsonDocument::fromJson(json).object();
    if (auto refused = refusal(httpStatus, answer))
        return *refused;
    const QJsonValue text = answer.value("responseData"_L1).toObject().value("translatedText"_L1);
    if (!text.isString())
        return failure(EngineResult::Status::Unavailable, u"APy answered without a translation"_s);
    return EngineResult {EngineResult::Status::Translated, text.toString(), QString(), {}};
}

namespace {

bool isStopLine(QStringView line)
{
    return line.trimmed() == u".";
}

} // namespace

QString joinApyBatch(const QStringList &texts)
{
    return texts.join(u"\n.\n"_s);
}

std::optional<QStringList> splitApyBatch(const QString &translation, qsizetype count)
{
    QStringList texts;
    QString current;
    bool first = true;
    for (const QStringView line : QStringView(translation).split(u'\n')) {
        if (isStopLine(line)) {
            texts.append(std::exchange(current, {}));
            first = true;
            continue;
        }
        if (!first)
            current += u'\n';
        current += line;
        first = false;
    }
    texts.append(current);
    if (texts.size() != count)
        return std::nullopt;
    return texts;
}

bool apyBatchable(const QString &text)
{
    if (text.trimmed().isEmpty())
        return false;
    for (const QStringView line : QStringView(text).split(u'\n')) {
        if (isStopLine(line))
            return false;
    }
    return true;
}

QString withoutApertiumMarks(const QString &output, const QString &input)
{
    const auto marksAt = [](const QString &text, qsizetype i) {
        return (i == 0 || !text[i - 1].isLetterOrNumber()) && i + 1 < text.size() && text[i + 1].isLetter();
    };
    QString marks;
    for (const QChar mark : {u'*', u'#', u'@'}) {
        bool inInput = false;
        for (qsizetype i = input.indexOf(mark); i >= 0 && !inInput; i = input.indexOf(mark, i + 1))
            inInput = marksAt(input, i);
        if (!inInput)
            marks += mark;
    }
    QString out;
    out.reserve(output.size());
    for (qsizetype i = 0; i < output.size(); ++i) {
        if (!marks.contains(output[i]) || !marksAt(output, i))
            out += output[i];
    }
    return out;
}

} // namespace tarnix::service
