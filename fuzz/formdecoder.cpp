#include "fuzz/formdecoder.h"

#include <QByteArrayView>

#include "service/http/form.h"

namespace tarnix::fuzz {

std::optional<QList<QPair<QByteArray, QByteArray>>> decodeForm(QByteArrayView body)
{
    QList<QPair<QByteArray, QByteArray>> fields;
    qsizetype from = 0;
    while (from <= body.size()) {
        qsizetype to = body.indexOf('&', from);
        if (to < 0)
            to = body.size();
        const QByteArrayView field = body.sliced(from, to - from);
        const qsizetype equals = field.indexOf('=');
        if (equals < 0)
            return std::nullopt;
        const auto key = service::decodeFormComponent(field.first(equals));
        const auto value = service::decodeFormComponent(field.sliced(equals + 1));
        if (!key || !value)
            return std::nullopt;
        fields.append({*key, *value});
        from = to + 1;
    }
    return fields;
}

} // namespace tarnix::fuzz
