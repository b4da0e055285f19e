#include <algorithm>
#include <clocale>
#include <functional>
#include <libintl.h>
#include <memory>
#include <optional>

#include <QDir>
#include <QHash>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <unicode/locid.h>
#include <unicode/plurrule.h>
#include <unicode/uloc.h>

#include "fill/languages.h"

using namespace Qt::StringLiterals;
using namespace tarnix::fill;

// The plural rules against their authorities: msginit for every language it
// knows, ICU's own PluralRules::select for every other language CLDR has
// rules for, through gettext's own evaluation of the formula.
class TestFillPlurals : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QSet<QString> codes; // those msginit is asked about
    QHash<QString, QString> msginit; // code -> the Plural-Forms msginit writes; none: its placeholder
    QStringList cldrLocales; // the locales CLDR has rules for, ICU's spelling

    static QString canonical(const QString &language)
    {
        return QString::fromLatin1(icu::Locale::createCanonical(language.toLatin1().constData()).getLanguage());
    }

    // The index of gettext's plural form for n, as glibc's gettext computes
    // it from a catalog msgfmt -c compiled with that header.
    std::optional<std::function<int(unsigned long)>> compiled(const QString &pluralForms)
    {
        const QString domain = u"plurals%1"_s.arg(qHash(pluralForms));
        QByteArray po = "msgid \"\"\nmsgstr \"\"\n\"Content-Type: text/plain; charset=UTF-8\\n\"\n\"Plural-Forms: "
            + pluralForms.toUtf8() + "\\n\"\n\nmsgid \"a\"\nmsgid_plural \"b\"\n";
        for (int i = 0; i < pluralCountOf(pluralForms); ++i)
            po += "msgstr[" + QByteArray::number(i) + "] \"" + QByteArray::number(i) + "\"\n";
        QProcess msgfmt;
        msgfmt.start(u"msgfmt"_s, {u"-c"_s, u"-o"_s, dir.filePath(u"x/LC_MESSAGES/"_s + domain + u".mo"_s), u"-"_s});
        msgfmt.write(po);
        msgfmt.closeWriteChannel();
        if (!msgfmt.waitForFinished() || msgfmt.exitCode() != 0)
            return std::nullopt;
        const QByteArray name = domain.toLatin1();
        bindtextdomain(name.constData(), QFile::encodeName(dir.path()).constData());
        return [name](unsigned long n) { return QByteArray(dngettext(name.constData(), "a", "b", n)).toInt(); };
    }

private slots:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable(u"msginit"_s).isEmpty())
            QSKIP("gettext's msginit is not installed");
        QVERIFY(dir.isValid() && QDir(dir.path()).mkpath(u"x/LC_MESSAGES"_s));
        qputenv("LANGUAGE", "x"); // the catalogs above, whatever the locale
        std::setlocale(LC_MESSAGES, "C.UTF-8");

        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::StringEnumeration> locales(icu::PluralRules::getAvailableLocales(status));
        while (const char *locale = locales->next(nullptr, status)) {
            if (qstrcmp(locale, "root") != 0)
                cldrLocales.append(QString::fromLatin1(locale));
        }
        // Every ISO 639-1 language, every one CLDR has rules for, and codes
        // with a region, a script or a modifier; eight msginit at a time.
        codes = {u"pt_BR"_s, u"pt_PT"_s, u"zh_TW"_s, u"sr_RS@latin"_s, u"ca@valencia"_s, u"en_GB"_s};
        for (const char *const *language = uloc_getISOLanguages(); *language; ++language) {
            if (qstrlen(*language) == 2)
                codes.insert(QString::fromLatin1(*language));
        }
        for (const QString &locale : std::as_const(cldrLocales))
            codes << locale << locale.section(u'_', 0, 0);
        QFile pot(dir.filePath(u"x.pot"_s));
        QVERIFY(pot.open(QIODevice::WriteOnly));
        pot.write("msgid \"\"\nmsgstr \"\"\n\"Content-Type: text/plain; charset=UTF-8\\n\"\n"
                  "\"Plural-Forms: nplurals=INTEGER; plural=EXPRESSION;\\n\"\n");
        pot.close();
        QProcess probe; // msginit's catalog for each code as CODE.po
        probe.setWorkingDirectory(dir.path());
        probe.start(u"xargs"_s,
            {u"-P8"_s, u"-I{}"_s, u"msginit"_s, u"--no-translator"_s, u"--no-wrap"_s, u"-l"_s, u"{}"_s, u"-i"_s,
                pot.fileName(), u"-o"_s, u"{}.po"_s});
        probe.write(QStringList(codes.cbegin(), codes.cend()).join(u'\n').toLatin1());
        probe.closeWriteChannel();
        QVERIFY(probe.waitForFinished(240000) && probe.exitCode() == 0);
        static const QRegularExpression field(u"\n\"Plural-Forms: (nplurals=\\d.*)\\\\n\"\n"_s);
        for (const QString &code : std::as_const(codes)) {
            QFile po(dir.filePath(code + u".po"_s));
            QVERIFY(po.open(QIODevice::ReadOnly));
            const QRegularExpressionMatch match = field.match(QString::fromUtf8(po.readAll()));
            if (match.hasMatch())
                msginit.insert(code, match.captured(1));
        }
        QVERIFY2(msginit.value(u"cs"_s).startsWith(u"nplurals=3;"_s), qPrintable(msginit.value(u"cs"_s)));
    }

    // Every code msginit gives a rule gets that rule, character for
    // character; one whose language has no rule in CLDR either gets none.
    void gettextLanguagesTakeMsginitsRule()
    {
        for (const QString &code : std::as_const(codes)) {
            const PluralRule rule = pluralRule(code);
            const QString language = code.section(QRegularExpression(u"[_@]"_s), 0, 0);
            if (msginit.contains(code))
                QVERIFY2(rule.expression == msginit[code], qPrintable(code + u": "_s + msginit[code]));
            else if (!cldrLocales.contains(code) && !cldrLocales.contains(language)
                && !cldrLocales.contains(canonical(language)))
                QVERIFY2(rule.count == 0, qPrintable(code + u": "_s + rule.expression));
        }
    }

    // Every other locale with CLDR rules gets a formula msgfmt -c takes, with
    // one form per category an integer reaches, in CLDR's order, that picks
    // ICU's category for every count: 0 to 1000 and larger ones up to 10^9.
    void otherLanguagesTakeCldrsRule()
    {
        static const QStringList order {u"zero"_s, u"one"_s, u"two"_s, u"few"_s, u"many"_s, u"other"_s};
        QList<unsigned long> counts;
        for (unsigned long n = 0; n <= 1000; ++n)
            counts.append(n);
        for (unsigned long n = 1001; n <= 1000000000; n += n / 7 + 1)
            counts << n << n / 1000 * 1000 << n / 100000 * 100000 << n / 1000000 * 1000000 + 100000;
        QHash<QString, std::function<int(unsigned long)>> formulas;
        int checked = 0;
        for (const QString &locale : std::as_const(cldrLocales)) {
            const icu::Locale icu(locale.toLatin1().constData());
            const QString language = canonical(QString::fromLatin1(icu.getLanguage()));
            if (msginit.contains(locale.section(u'_', 0, 0)) || msginit.contains(language))
                continue;
            const PluralRule rule = pluralRule(locale);
            UErrorCode status = U_ZERO_ERROR;
            const std::unique_ptr<icu::PluralRules> cldr(icu::PluralRules::forLocale(icu, status));
            QVERIFY(U_SUCCESS(status));
            QStringList categories;
            QList<QString> of;
            for (const unsigned long n : std::as_const(counts)) {
                std::string category;
                cldr->select(double(n)).toUTF8String(category);
                of.append(QString::fromStdString(category));
                if (!categories.contains(of.last()))
                    categories.append(of.last());
            }
            // A category of whole millions alone (Catalan's "many") is left to "other".
            for (const QString &category : QStringList(categories)) {
                bool millions = true;
                for (qsizetype i = 0; i < counts.size() && millions; ++i)
                    millions = of[i] != category || (counts[i] > 0 && counts[i] % 1000000 == 0);
                if (millions) {
                    categories.removeOne(category);
                    std::replace(of.begin(), of.end(), category, u"other"_s);
                }
            }
            std::sort(categories.begin(), categories.end(),
                [](const QString &a, const QString &b) { return order.indexOf(a) < order.indexOf(b); });
            QVERIFY2(rule.count == categories.size(), qPrintable(locale + u": "_s + rule.expression));
            if (!formulas.contains(rule.expression)) {
                const auto formula = compiled(rule.expression);
                QVERIFY2(formula, qPrintable(u"msgfmt -c refuses "_s + rule.expression));
                formulas.insert(rule.expression, *formula);
            }
            const auto &formula = formulas[rule.expression];
            for (qsizetype i = 0; i < counts.size(); ++i) {
                const int form = formula(counts[i]);
                QVERIFY2(categories.value(form) == of[i],
                    qPrintable(u"%1, n = %2: form %3, CLDR says %4: %5"_s.arg(locale).arg(counts[i]).arg(form).arg(
                        of[i], rule.expression)));
            }
            ++checked;
        }
        QVERIFY2(checked > 150, qPrintable(QString::number(checked)));
    }
};

QTEST_GUILESS_MAIN(TestFillPlurals)
#include "test_fill_plurals.moc"
