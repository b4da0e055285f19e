#include "fill/options.h"

#include <algorithm>

#include <QCommandLineParser>

#include "fill/formatfor.h"

#include "fill/languages.h"

using namespace Qt::StringLiterals;

namespace tarnix::fill {

std::variant<Options, OptionsExit> parseOptions(const QStringList &arguments, const QUrl &buildService)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"Fills the untranslated entries of PO, POT, Qt TS, XLIFF, i18next and FormatJS JSON, Flutter ARB and "
        u"Android strings.xml catalogs through the Tarnix translation service. Every filled entry is marked as needing "
        u"review (PO "
        u"fuzzy, TS unfinished, XLIFF needs-review); a format without such a mark lists it in a review record "
        u"beside the catalog (NAME.tarnix-review)."_s);
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption language(
        u"language"_s, u"The language of files that name none in their header or file name."_s, u"code"_s);
    const QCommandLineOption to(u"to"_s,
        u"For a POT template, the source language's JSON, ARB or .lproj file, Java's base .properties, Rails' "
        u"en.yml or Android's res/values/strings.xml: start or fill a catalog per language beside it (es.po, "
        u"locales/es/common.json, app_es.arb, es.lproj/Localizable.strings, res/values-es/strings.xml)."_s,
        u"code,..."_s);
    const QCommandLineOption check(u"check"_s,
        u"Translate nothing: report every translation whose placeholders differ from its source, "
        u"and people's translations that do not use the service's glossary."_s);
    const QCommandLineOption glossary(u"glossary"_s,
        u"With --check: hold people's translations to this glossary instead of the service's: a TBX file of many "
        u"languages, or a CSV or TSV file of \"source,target\" lines, for the catalogs of LANG only when given "
        u"as LANG=FILE. May be given more than once."_s,
        u"[lang=]file"_s);
    const QCommandLineOption dryRun(u"dry-run"_s, u"Print what would be filled; translate and write nothing."_s);
    const QCommandLineOption estimate(u"estimate"_s,
        u"Ask the service what filling would take of each engine (entries, memory, characters, requests, time, "
        u"cost); translate and write nothing."_s);
    const QCommandLineOption refillFuzzy(u"refill-fuzzy"_s, u"Replace fuzzy translations too."_s);
    const QCommandLineOption unreviewed(u"unreviewed"_s,
        u"Translate nothing: list every machine-filled entry not yet reviewed (file:line: key); exit status 1 "
        u"when there is one."_s);
    const QCommandLineOption accept(u"accept"_s,
        u"Translate nothing: mark the entries named by KEY... in the one FILE as reviewed (keys as --unreviewed "
        u"prints them)."_s);
    const QCommandLineOption learn(u"learn"_s,
        u"Translate nothing: store the reviewed translations of the FILEs (not fuzzy, not unfinished, not "
        u"machine-filled awaiting review) in the service's translation memory as people's translations, which "
        u"then answer before any engine."_s);
    const QCommandLineOption service(
        u"service"_s, u"The translation service's address (default %1)."_s.arg(buildService.toString()), u"url"_s);
    const QCommandLineOption jobs(u"jobs"_s, u"Requests in flight at once (default 8)."_s, u"n"_s);
    const QCommandLineOption source(u"source"_s,
        u"The file a catalog takes its source texts from, where the project does not keep it where its format "
        u"usually does."_s,
        u"file"_s);
    parser.addOptions({language, to, source, check, glossary, dryRun, estimate, refillFuzzy, unreviewed, accept, learn,
        service, jobs});
    parser.addPositionalArgument(u"FILE"_s,
        u"Catalogs: .po, .pot, .ts, .xlf, .xliff, .json, .arb, .xcstrings, .strings, .stringsdict, .properties, "
        u".yml, .yaml, .xml."_s,
        u"FILE..."_s);

    if (!parser.parse(arguments))
        return OptionsExit {parser.errorText() + u"\n"_s, 2};
    if (parser.isSet(help))
        return OptionsExit {parser.helpText(), 0};
    if (parser.isSet(version))
        return OptionsExit {u"tarnix-fill %1\n"_s.arg(QCoreApplication::applicationVersion()), 0};

    Options options;
    options.language = parser.value(language);
    // Catalogs are named and labelled as gettext writes locales: pt_BR, not pt-BR.
    for (const QString &value : parser.values(to)) {
        for (const QString &code : value.split(u',', Qt::SkipEmptyParts)) {
            if (!code.trimmed().isEmpty())
                options.to.append(code.trimmed().replace(u'-', u'_'));
        }
    }
    // A new catalog needs its language's plural rule and name: a code
    // neither gettext nor CLDR knows is a typing error more likely than a language.
    for (const QString &code : std::as_const(options.to)) {
        if (!isKnownLanguage(code))
            return OptionsExit {
                u"--to %1: no language gettext or CLDR knows (codes as gettext names catalogs: es, pt_BR, sr@latin)\n"_s
                    .arg(code),
                2};
    }
    options.check = parser.isSet(check);
    options.glossaries = parser.values(glossary);
    if (!options.glossaries.isEmpty() && !options.check)
        return OptionsExit {u"--glossary names the terms --check holds translations to: give it with --check\n"_s, 2};
    options.dryRun = parser.isSet(dryRun);
    options.estimate = parser.isSet(estimate);
    options.refillFuzzy = parser.isSet(refillFuzzy);
    options.serviceGiven = parser.isSet(service);
    options.service = options.serviceGiven ? QUrl(parser.value(service)) : buildService;
    if (!options.service.isValid() || options.service.scheme() != u"http"_s || options.service.host().isEmpty())
        return OptionsExit {u"--service needs an http address, not %1\n"_s.arg(parser.value(service)), 2};
    if (parser.isSet(jobs)) {
        bool ok = false;
        options.jobs = parser.value(jobs).toInt(&ok);
        if (!ok || options.jobs < 1 || options.jobs > 256)
            return OptionsExit {u"--jobs needs a number from 1 to 256\n"_s, 2};
    }
    if (options.check && (options.dryRun || options.estimate || !options.to.isEmpty()))
        return OptionsExit {u"--check translates nothing: it takes neither --dry-run, --estimate nor --to\n"_s, 2};
    if (options.estimate && options.dryRun)
        return OptionsExit {u"--estimate and --dry-run each translate nothing: give one\n"_s, 2};
    options.unreviewed = parser.isSet(unreviewed);
    options.accept = parser.isSet(accept);
    options.learn = parser.isSet(learn);
    if ((options.unreviewed || options.accept || options.learn)
        && (int(options.unreviewed) + int(options.accept) + int(options.learn) > 1 || options.check || options.dryRun
            || options.estimate || options.refillFuzzy || !options.to.isEmpty()))
        return OptionsExit {u"--unreviewed, --accept and --learn translate nothing: each goes alone, without "
                            u"--check, --dry-run, --estimate, --refill-fuzzy or --to\n"_s,
            2};
    options.files = parser.positionalArguments();
    if (options.files.isEmpty())
        return OptionsExit {u"No catalog given. Try tarnix-fill --help.\n"_s, 2};
    if (options.accept) {
        options.keys = options.files.mid(1);
        options.files = options.files.mid(0, 1);
        if (options.keys.isEmpty())
            return OptionsExit {u"--accept takes a catalog and the keys of its entries to accept\n"_s, 2};
    }
    options.source = parser.value(source);
    if (!options.source.isEmpty()) {
        const FormatInfo *format = formatFor(options.source);
        if (!format || !format->sourceFor)
            return OptionsExit {
                u"--source names the file a JSON catalog takes its source texts from, not %1\n"_s.arg(options.source),
                2};
    }
    // A string catalog takes --to too: the languages to fill in it.
    const bool anySource = std::any_of(options.files.cbegin(), options.files.cend(), [&options](const QString &file) {
        const FormatInfo *format = formatFor(file);
        return format && (format->languagesIn || (format->isSource && format->isSource(file, options.sourceLanguage)));
    });
    if (!options.to.isEmpty() && !anySource)
        return OptionsExit {
            u"--to starts catalogs from a source file: give a .pot template or a source language's file\n"_s, 2};
    return options;
}

} // namespace tarnix::fill
