#include "service/http/form.h"

#include <QHash>
#include <QStringDecoder>

using namespace Qt::StringLiterals;

namespace tarnix::service {

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::optional<QString> strictUtf8(const QByteArray &bytes)
{
    // A leading U+FEFF is part of the text (a zero-width no-break space), not
    // a byte order mark: without ConvertInitialBom the decoder would drop it.
    QStringDecoder decoder(
        QStringDecoder::Utf8, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

} // namespace

std::optional<QByteArray> decodeFormComponent(QByteArrayView component)
{
    QByteArray out;
    out.reserve(component.size());
    for (qsizetype i = 0; i < component.size(); ++i) {
        const char c = component[i];
        if (c == '+') {
            out.append(' ');
        } else if (c == '%') {
            if (i + 2 >= component.size())
                return std::nullopt;
            const int high = hexValue(component[i + 1]);
            const int low = hexValue(component[i + 2]);
            if (high < 0 || low < 0)
                return std::nullopt;
            out.append(char(high * 16 + low));
            i += 2;
        } else {
            out.append(c);
        }
    }
    return out;
}

std::variant<TranslationForm, FormError> parseTranslationForm(QByteArrayView body)
{
    QHash<QByteArray, QString> fields;
    qsizetype start = 0;
    while (start <= body.size()) {
        qsizetype end = body.indexOf('&', start);
        if (end < 0)
            end = body.size();
        const QByteArrayView pair = body.sliced(start, end - start);
        start = end + 1;
        if (pair.isEmpty())
            continue; // "a=1&&b=2" and a trailing "&" carry no field
        const qsizetype eq = pair.indexOf('=');
        const auto key = decodeFormComponent(eq < 0 ? pair : pair.first(eq));
        const auto value = decodeFormComponent(eq < 0 ? QByteArrayView() : pair.sliced(eq + 1));
        if (!key || !value)
            return FormError {u"The body holds a malformed percent-escape."_s};
        const auto text = strictUtf8(*value);
        if (!text)
            return FormError {u"The field \"%1\" is not valid UTF-8."_s.arg(QString::fromLatin1(*key))};
        const bool used = *key == "sl" || *key == "tl" || *key == "text" || *key == "context";
        if (used && fields.contains(*key))
            return FormError {u"The field \"%1\" is given more than once."_s.arg(QString::fromLatin1(*key))};
        fields.insert(*key, *text);
    }
    for (const char *required : {"sl", "tl", "text"}) {
        if (!fields.contains(required))
            return FormError {u"The field \"%1\" is missing."_s.arg(QLatin1StringView(required))};
    }
    TranslationForm form {fields.value("sl"), fields.value("tl"), fields.value("text"), fields.value("context")};
    if (form.source.isEmpty() || form.target.isEmpty())
        return FormError {u"The language fields sl and tl must not be empty."_s};
    if (form.text.isEmpty())
        return FormError {u"The text is empty: there is nothing to translate."_s};
    return form;
}

} // namespace tarnix::service
