#include "service/text/translationtext.h"

namespace tarnix::service {

PreparedText prepareForEngine(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin).isSpace())
        ++begin;
    while (end > begin && text.at(end - 1).isSpace())
        --end;
    return PreparedText {text.first(begin), text.sliced(end), maskPlaceholders(text.sliced(begin, end - begin))};
}

std::optional<QString> finishTranslation(const PreparedText &prepared, const QString &engineText)
{
    const auto restored = unmaskPlaceholders(engineText.trimmed(), prepared.masked.placeholders);
    if (!restored)
        return std::nullopt;
    return prepared.leading + *restored + prepared.trailing;
}

} // namespace tarnix::service
