// The lost-line check (service/text/linestructure.h) over whole real
// catalogs: every translated message of several lines in the Spanish,
// German and French catalogs Debian installs (their .mo files turned back
// into PO with msgunfmt), judged as a person translated it, where it must
// pass, and with its last line dropped, where it must be caught.
//
//     lines [LANGUAGE...] [--show N] [--only CATALOG...]   (default es de fr)

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "fill/formats/po.h"
#include "installed.h"
#include "service/text/completeness.h"

using namespace Qt::StringLiterals;

namespace {

// The translation without its last line, its trailing white space kept.
QString withoutLastLine(const QString &text)
{
    qsizetype end = text.size();
    while (end > 0 && text[end - 1].isSpace())
        --end;
    const qsizetype cut = text.lastIndexOf(u'\n', end - 1);
    QString shorter = text.first(cut);
    while (!shorter.isEmpty() && shorter.back().isSpace())
        shorter.chop(1);
    return shorter + text.sliced(end);
}

// The translation as a model's answer reaches the checks when the model
// drops the last of the lines it was shown: every run of layout white space
// (a line break, a column gap) was one line break to it, and with a line
// fewer than the source the service cannot put the layout back.
QString asShownLessLastLine(const QString &text)
{
    static const QRegularExpression layout(u"[ \\t]*\\n\\s*|[ \\t]{2,}|\\t"_s);
    const QString trimmed = text.trimmed();
    QString lines = trimmed;
    lines.replace(layout, u"\n"_s);
    const qsizetype lead = text.indexOf(trimmed);
    return text.first(lead) + lines.first(std::max<qsizetype>(0, lines.lastIndexOf(u'\n')))
        + text.sliced(lead + trimmed.size());
}

// The options (-a, --all) and printf directives of a text: a person's
// translation that lacks one of the source's has lost a line itself (an
// older translation of a grown help text).
QStringList optionsAndDirectives(const QString &text)
{
    static const QRegularExpression token(
        u"(?<![\\w-])--?[A-Za-z0-9][\\w-]*|%[-#0 +']*[0-9*]*(?:\\.[0-9*]+)?[hlLqjzt]*[diouxXeEfgGcsp]"_s);
    QStringList tokens;
    for (auto it = token.globalMatch(text); it.hasNext();)
        tokens.append(it.next().captured());
    return tokens;
}

bool lacksOne(const QString &source, const QString &translation)
{
    QStringList left = optionsAndDirectives(translation);
    for (const QString &token : optionsAndDirectives(source)) {
        if (!left.removeOne(token))
            return true;
    }
    return false;
}

bool hasInnerBreak(const QString &text)
{
    return text.trimmed().contains(u'\n');
}

struct Counts
{
    qsizetype entries = 0; // translated messages of several lines
    qsizetype flagged = 0; // of them, the person's translation refused
    qsizetype flaggedLacking = 0; // of those, lacking an option or directive of the source
    qsizetype shown = 0; // variants as a model's answer less its last line
    qsizetype shownCaught = 0;
    qsizetype dropped = 0; // variants with the last line dropped
    qsizetype caught = 0;
};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList languages;
    QStringList only;
    int show = 5;
    const QStringList arguments = app.arguments().mid(1);
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == u"--show"_s && i + 1 < arguments.size())
            show = arguments[++i].toInt();
        else if (arguments[i] == u"--only"_s)
            while (i + 1 < arguments.size() && !arguments[i + 1].startsWith(u"--"_s))
                only.append(arguments[++i]);
        else
            languages.append(arguments[i]);
    }
    if (languages.isEmpty())
        languages = {u"es"_s, u"de"_s, u"fr"_s};
    QTemporaryDir scratch;
    Counts all;
    int shownFlagged = 0;
    int shownMissed = 0;
    for (const QString &language : languages) {
        Counts counts;
        qsizetype catalogs = 0;
        const QDir locale(u"/usr/share/locale/%1/LC_MESSAGES"_s.arg(language));
        for (const QString &name : locale.entryList({u"*.mo"_s}, QDir::Files, QDir::Name)) {
            if (!only.isEmpty() && !only.contains(name.chopped(3)))
                continue;
            const QString po = scratch.filePath(language + name + u".po"_s);
            const auto read = installedCatalog(locale.filePath(name), po);
            if (!read)
                continue;
            const tarnix::fill::Catalog &catalog = *read;
            ++catalogs;
            for (const tarnix::fill::Entry &entry : catalog.entries) {
                if (entry.fuzzy || entry.obsolete || entry.translations.isEmpty() || !hasInnerBreak(entry.source))
                    continue;
                const QString &translation = entry.translations.first();
                if (translation.trimmed().isEmpty())
                    continue;
                ++counts.entries;
                if (const auto why = tarnix::service::incompleteness(entry.source, translation, language)) {
                    ++counts.flagged;
                    counts.flaggedLacking += lacksOne(entry.source, translation) ? 1 : 0;
                    if (shownFlagged++ < show)
                        std::printf("flagged (%s %s): %s\n  source:      %s\n  translation: %s\n", qPrintable(language),
                            qPrintable(name), qPrintable(*why), qPrintable(entry.source), qPrintable(translation));
                }
                if (!hasInnerBreak(translation))
                    continue;
                ++counts.shown;
                const QString answered = asShownLessLastLine(translation);
                if (tarnix::service::incompleteness(entry.source, answered, language))
                    ++counts.shownCaught;
                else if (shownMissed++ < show)
                    std::printf("missed as answered (%s %s):\n  source:  %s\n  answer:  %s\n", qPrintable(language),
                        qPrintable(name), qPrintable(entry.source), qPrintable(answered));
                const QString shorter = withoutLastLine(translation);
                ++counts.dropped;
                if (tarnix::service::incompleteness(entry.source, shorter, language))
                    ++counts.caught;
                else if (shownMissed++ < show)
                    std::printf("missed (%s %s):\n  source:  %s\n  shorter: %s\n", qPrintable(language),
                        qPrintable(name), qPrintable(entry.source), qPrintable(shorter));
            }
        }
        std::printf("%s: %lld catalogs, %lld translated messages of several lines: %lld refused (%.2f%%; %lld of "
                    "them lack an option or directive of the source); as a model's answer less the last line "
                    "shown: %lld of %lld caught (%.2f%%); the person's layout less its last line: %lld of %lld caught "
                    "(%.2f%%)\n",
            qPrintable(language), qlonglong(catalogs), qlonglong(counts.entries), qlonglong(counts.flagged),
            100.0 * double(counts.flagged) / double(std::max<qsizetype>(1, counts.entries)),
            qlonglong(counts.flaggedLacking), qlonglong(counts.shownCaught), qlonglong(counts.shown),
            100.0 * double(counts.shownCaught) / double(std::max<qsizetype>(1, counts.shown)), qlonglong(counts.caught),
            qlonglong(counts.dropped), 100.0 * double(counts.caught) / double(std::max<qsizetype>(1, counts.dropped)));
        all.entries += counts.entries;
        all.flagged += counts.flagged;
        all.flaggedLacking += counts.flaggedLacking;
        all.shown += counts.shown;
        all.shownCaught += counts.shownCaught;
        all.dropped += counts.dropped;
        all.caught += counts.caught;
    }
    std::printf(
        "all: %lld messages of several lines, %lld refused (%.3f%%; %lld lacking an option or directive); "
        "as a model's answer less the last line shown: %lld of %lld caught (%.2f%%); the person's layout less its "
        "last line: %lld of %lld caught (%.2f%%)\n",
        qlonglong(all.entries), qlonglong(all.flagged),
        100.0 * double(all.flagged) / double(std::max<qsizetype>(1, all.entries)), qlonglong(all.flaggedLacking),
        qlonglong(all.shownCaught), qlonglong(all.shown),
        100.0 * double(all.shownCaught) / double(std::max<qsizetype>(1, all.shown)), qlonglong(all.caught),
        qlonglong(all.dropped), 100.0 * double(all.caught) / double(std::max<qsizetype>(1, all.dropped)));
    return 0;
}
