#include <memory>

#include <QFile>
#include <QNetworkAccessManager>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

#include "apyservice.h"
#include "httpclient.h"

using namespace Qt::StringLiterals;
using namespace tarnix::service;

namespace {

// The text between the markers, with the service's three references undone:
// enough to read a translation page without the program's own extraction.
QString pageText(const QByteArray &page)
{
    const QString text = QString::fromUtf8(page);
    const qsizetype start = text.indexOf(u'>', text.indexOf(u"<span id=result_box"_s)) + 1;
    const qsizetype end = text.indexOf(u"</span></div><div id=gt-res-tools"_s);
    return text.sliced(start, end - start)
        .replace(u"&#60;"_s, u"<"_s)
        .replace(u"&#62;"_s, u">"_s)
        .replace(u"&#38;"_s, u"&"_s);
}

// Local addresses (hex, as /proc/net/tcp writes them) of the sockets listening on `port`.
QStringList listeningAddresses(quint16 port)
{
    QStringList addresses;
    for (const QString &table : {u"/proc/net/tcp"_s, u"/proc/net/tcp6"_s}) {
        QFile file(table);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        file.readLine();
        while (!file.atEnd()) {
            const QList<QByteArray> fields = file.readLine().simplified().split(' ');
            if (fields.size() < 4 || fields[3] != "0A")
                continue;
            const QList<QByteArray> local = fields[1].split(':');
            if (local.size() == 2 && local[1].toUShort(nullptr, 16) == port)
                addresses.append(QString::fromLatin1(local[0]));
        }
    }
    return addresses;
}

} // namespace

// The service on a real APy that it starts itself, with the Debian pairs
// eng-spa, spa-ita, es-pt and fr-es installed.
class TestServiceApertium : public QObject
{
    Q_OBJECT

    tarnix::service::test::ApyService running;
    QNetworkAccessManager net;
    QUrl serviceUrl;

    HttpAnswer translate(const QByteArray &source, const QByteArray &target, const QString &text)
    {
        return httpExchange(net, serviceUrl, "POST", programForm(source, target, text.toUtf8().toPercentEncoding()));
    }

private slots:
    void initTestCase()
    {
        TARNIX_REQUIRE_APY();
        const QString error = running.start();
        QVERIFY2(error.isEmpty(), qPrintable(error));
        serviceUrl = QUrl(u"http://127.0.0.1:%1/"_s.arg(running.port));
    }

    void apyListensOnLoopbackOnly()
    {
        const QStringList addresses = listeningAddresses(quint16(running.apy->url().port()));
        QVERIFY(!addresses.isEmpty());
        for (const QString &address : addresses)
            QCOMPARE(address, u"0100007F"_s); // 127.0.0.1
    }

    void translates_data()
    {
        QTest::addColumn<QByteArray>("target");
        QTest::addColumn<QString>("expected");
        QTest::newRow("spanish directly") << "es"_ba << u"Hola"_s;
        QTest::newRow("italian through spanish") << "it"_ba << u"Ciao"_s;
        QTest::newRow("portuguese through spanish") << "pt"_ba << u"Olá"_s;
    }
    void translates()
    {
        QFETCH(QByteArray, target);
        QFETCH(QString, expected);
        const HttpAnswer answer = translate("en", target, u"Hello world"_s);
        QCOMPARE(answer.status, 200);
        QVERIFY2(pageText(answer.body).startsWith(expected), answer.body.constData());
    }

    // Italian's modes run VISL CG-3's cg-proc (the package cg3); every
    // direction APy lists was checked with one word at start. Brazilian
    // Portuguese is read by Portuguese's own modes.
    // A team's glossary changes what Apertium answers: its terms come back
    // as the team's translation; a plural it does not list is left to
    // Apertium, whose answer is refused when it lacks the team's term.
    // (Apertium says "archivo" for "file".)
    void glossaryOverridesApertium_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("expected");
        QTest::newRow("term") << u"Open the file"_s << 200 << u"el fichero"_s;
        QTest::newRow("term first") << u"File not found"_s << 200 << u"Fichero"_s;
        QTest::newRow("two words") << u"Start the file manager"_s << 200 << u"gestor de ficheros"_s;
        QTest::newRow("plural left to Apertium") << u"Open the files"_s << 422 << u"\"fichero\" for \"file\""_s;
    }
    void glossaryOverridesApertium()
    {
        QFETCH(QString, text);
        QFETCH(int, status);
        QFETCH(QString, expected);
        GlossarySettings glossary;
        glossary.tables.insert(u"es"_s, {{u"file"_s, u"fichero"_s}, {u"file manager"_s, u"gestor de ficheros"_s}});
        running.service->setGlossary(glossary);
        const HttpAnswer answer = translate("en", "es", text);
        running.service->setGlossary({});
        QCOMPARE(answer.status, status);
        QVERIFY2(QString::fromUtf8(answer.body).contains(expected), answer.body.constData());
    }

    void translatesFromOtherSources_data()
    {
        QTest::addColumn<QByteArray>("source");
        QTest::addColumn<QByteArray>("target");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("italian to french") << "it"_ba
                                           << "fr"_ba << u"la casa"_s << u"maison"_s;
        QTest::newRow("brazilian portuguese to spanish") << "pt-BR"_ba
                                                         << "es"_ba << u"a casa"_s << u"casa"_s;
    }
    void translatesFromOtherSources()
    {
        QFETCH(QByteArray, source);
        QFETCH(QByteArray, target);
        QFETCH(QString, text);
        QFETCH(QString, expected);
        const HttpAnswer answer = translate(source, target, text);
        QCOMPARE(answer.status, 200);
        QVERIFY2(pageText(answer.body).contains(expected), answer.body.constData());
    }

    void unsupportedPairsAreRefused_data()
    {
        QTest::addColumn<QByteArray>("target");
        QTest::newRow("german: no pair installed") << "de"_ba;
        QTest::newRow("simplified chinese: no apertium code") << "zh-CN"_ba;
    }
    void unsupportedPairsAreRefused()
    {
        QFETCH(QByteArray, target);
        const HttpAnswer answer = translate("en", target, u"Hello world"_s);
        QCOMPARE(answer.status, 422);
        QVERIFY(!answer.body.contains("<span id=result_box"));
    }

    void placeholdersSurvive_data()
    {
        QTest::addColumn<QByteArray>("target");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("placeholders");
        QTest::newRow("numbered and braces to spanish")
            << "es"_ba << u"You have %1 new messages from {name}."_s << QStringList {u"%1"_s, u"{name}"_s};
        QTest::newRow("markup and printf to italian") << "it"_ba << u"Save <b>%s</b> before closing ${app}."_s
                                                      << QStringList {u"<b>"_s, u"%s"_s, u"</b>"_s, u"${app}"_s};
        QTest::newRow("positional printf and double braces to portuguese")
            << "pt"_ba << u"Delete %1$s and {{count}} other files?"_s << QStringList {u"%1$s"_s, u"{{count}}"_s};
        // Bison's own messages and GNU as's (bison.pot, gas.pot), which the
        // pairs translated into "%%definisce", "%%vacío", "{#arañazo|…}".
        QTest::newRow("bison directive to italian")
            << "it"_ba << u"%%define variable %s redefined"_s << QStringList {u"%%define"_s, u"%s"_s};
        QTest::newRow("bison directives to spanish")
            << "es"_ba << u"%%empty on non-empty rule; use %%type"_s << QStringList {u"%%empty"_s, u"%%type"_s};
        QTest::newRow("assembler syntax to italian")
            << "it"_ba << u"register syntax is .register %%g[2367],{#scratch|symbolname|#ignore}"_s
            << QStringList {u".register"_s, u"%%g[2367],{#scratch|symbolname|#ignore}"_s};
        QTest::newRow("dotted option to spanish")
            << "es"_ba << u"deprecated by '-Dapi.prefix={PREFIX}'"_s << QStringList {u"'-Dapi.prefix={PREFIX}'"_s};
        // Characters engines drop or change; U+FFFE made APy read the rest as byte-swapped UTF-16.
        QTest::newRow("a byte order mark alone") << "es"_ba << u"\uFEFF"_s << QStringList {u"\uFEFF"_s};
        QTest::newRow("invisible characters to spanish")
            << "es"_ba << u"\uFEFFHello\x1b[1m world\x1b[0m, good\u00ADbye "_s + QChar(0) + u"\uFFFE friends"_s
            << QStringList {u"\uFEFF"_s, u"\x1b[1m"_s, u"\x1b[0m"_s, u"\u00AD"_s, QChar(0) + u"\uFFFE"_s};
    }
    void placeholdersSurvive()
    {
        QFETCH(QByteArray, target);
        QFETCH(QString, text);
        QFETCH(QStringList, placeholders);
        const HttpAnswer answer = translate("en", target, text);
        QCOMPARE(answer.status, 200);
        const QString translation = pageText(answer.body);
        for (const QString &placeholder : placeholders)
            QVERIFY2(translation.count(placeholder) == 1, qPrintable(translation));
        QVERIFY(!translation.contains(u'\u27E6'));
    }

    void chainLeavesNoUnknownWordMarks()
    {
        const HttpAnswer answer = translate("en", "it", u"Zorglub is here"_s);
        QCOMPARE(answer.status, 200);
        QVERIFY2(!pageText(answer.body).contains(u'*'), answer.body.constData());
    }

    void longTextComesBackWhole()
    {
        // APy alone translates about ten 4 KiB chunks of a request and drops the rest.
        const HttpAnswer answer =
            translate("en", "es", u"The quick brown fox jumps over the lazy dog. "_s.repeated(2000));
        QCOMPARE(answer.status, 200);
        const QString translation = pageText(answer.body);
        QCOMPARE(translation.count(u"zorro"_s), 2000);
        QCOMPARE(translation.count(u". "_s), 2000);
    }

    // The memory knows the APy the service starts by the pairs installed
    // here, not by its port, which changes at every start: otherwise no
    // translation would be found again after a restart.
    void ownApyKnownByItsPairs()
    {
        const QUrl first(u"http://127.0.0.1:1111"_s), second(u"http://127.0.0.1:2222"_s);
        using Apy = ApertiumEngine::Apy;
        QCOMPARE(ApertiumEngine(first, Apy::Started).identity(), ApertiumEngine(second, Apy::Started).identity());
        QVERIFY(ApertiumEngine(first, Apy::Given).identity() != ApertiumEngine(second, Apy::Given).identity());
    }

    void apyStopsWithItsOwner()
    {
        const quint16 port = quint16(running.apy->url().port());
        running.stop();
        QVERIFY(listeningAddresses(port).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestServiceApertium)
#include "test_service_apertium.moc"
