#include "service/configtext.h"

#include <QStringDecoder>

using namespace Qt::StringLiterals;

namespace tarnix::service {

std::variant<QString, QString> configFileText(const QByteArray &bytes)
{
    const auto refuse = [](const QString &encoding) {
        return std::variant<QString, QString>(std::in_place_index<1>,
            u"the file is %1, not UTF-8: save it as UTF-8 (iconv -t UTF-8, or your editor's encoding menu)"_s.arg(
                encoding));
    };
    const auto starts = [&](const char *mark, qsizetype size) { return bytes.startsWith(QByteArrayView(mark, size)); };
    if (starts("\xFF\xFE\0\0", 4) || starts("\0\0\xFE\xFF", 4))
        return refuse(u"UTF-32"_s);
    if (starts("\xFF\xFE", 2) || starts("\xFE\xFF", 2))
        return refuse(u"UTF-16"_s);
    if (bytes.contains('\0'))
        return refuse(u"UTF-16 or another encoding with zero bytes"_s);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    if (utf8.hasError()) {
        // The first line UTF-8 cannot read, for a text editor.
        const QList<QByteArray> lines = bytes.split('\n');
        qsizetype line = 0;
        while (line < lines.size()) {
            QStringDecoder lineDecoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
            const QString decoded = lineDecoder.decode(lines[line++] + '\n'); // the line break ends a cut sequence
            if (lineDecoder.hasError())
                break;
        }
        return refuse(u"Latin-1 or Windows-1252 (line %1 has a byte UTF-8 does not allow)"_s.arg(line));
    }
    return std::variant<QString, QString>(std::in_place_index<0>, text);
}

QString withoutInlineComment(const QString &value)
{
    for (qsizetype i = 1; i < value.size(); ++i) {
        if ((value[i] == u';' || value[i] == u'#') && value[i - 1].isSpace())
            return value.left(i).trimmed();
    }
    return value;
}

QString onlySection(const QString &text, const QString &name)
{
    QStringList lines = text.split(u'\n');
    bool inside = false;
    for (QString &line : lines) {
        const QString trimmed = line.trimmed();
        if (trimmed.startsWith(u'['))
            inside = trimmed.endsWith(u']') && trimmed.sliced(1, trimmed.size() - 2).trimmed() == name;
        if (!inside)
            line.clear();
    }
    return lines.join(u'\n');
}

QString configPath(const QDir &configFolder, const QString &written)
{
    if (written == u"~" || written.startsWith(u"~/"))
        return QDir::homePath() + written.sliced(1);
    return configFolder.absoluteFilePath(written);
}

} // namespace tarnix::service
