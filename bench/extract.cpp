// Throughput of the reply path (UTF-8 decode, cut, clean) against Qt's own
// HTML-to-text conversion of the same page, measured in the same run.

#include <cstdio>

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTextDocumentFragment>

#include "reply/entities.h"
#include "reply/extract.h"

namespace {

// A page shaped like the service's: a head with scripts and styles, page
// furniture, the result box holding a long translation of titled spans with
// line breaks and character references, then the tools and more furniture.
QByteArray realisticPage(qsizetype size)
{
    QByteArray head = "<!DOCTYPE html><html><head><meta charset=UTF-8><title>Translate</title><style>";
    for (int i = 0; i < 20; ++i)
        head += ".gt-c" + QByteArray::number(i) + "{margin:0 4px;padding:2px;font:13px arial,sans-serif}";
    head += "</style><script>";
    for (int i = 0; i < 300; ++i)
        head += "var a" + QByteArray::number(i) + "=function(b){return b&&b.length>" + QByteArray::number(i)
            + "?b.slice(0," + QByteArray::number(i) + "):b};";
    head += "</script></head><body><div id=gb><a href=\"/\">Home</a> &middot; <a href=\"/about\">About</a></div>";
    head += "<div id=gt-text-top><span id=result_box class=\"long_text\" lang=\"fr\">";

    const QByteArray sentence = "<span title=\"The quick brown fox &amp; the lazy dog don&#39;t meet.\" "
                                "onmouseover=\"this.style.backgroundColor='#ebeff9'\">Le renard brun "
                                "&laquo;&nbsp;rapide&nbsp;&raquo; et le chien paresseux ne se rencontrent "
                                "pas&nbsp;: c&#39;est l&#39;&eacute;t&eacute; &amp; d\xc3\xa9j\xc3\xa0 "
                                "l&#39;automne.</span><br>";
    const QByteArray tail = "</span></div><div id=gt-res-tools><div id=gt-res-listen></div>"
                            "<div class=\"gt-cd\"><span>Dictionary</span></div></div><div id=gt-ft>";
    const QByteArray footer = "<div class=gt-ft-l><a href=\"/intl/en/about\">About Translate</a> - "
                              "<a href=\"/community\">Community</a> &#8212; &copy; 2026</div>";

    QByteArray page = head;
    // About half of the page is the translation itself.
    while (page.size() < size / 2)
        page += sentence;
    page += tail;
    while (page.size() < size - 14)
        page += footer;
    page += "</div></body></html>";
    return page.left(size);
}

QByteArray adversarialPage(qsizetype size)
{
    QByteArray page = "<span id=result_box>";
    page += QByteArray(size - page.size() - 20, '&');
    page += "<div id=gt-res-tools>";
    return page;
}

// Seconds per call, from as many calls as fit into about minSeconds.
template <typename F> double secondsPerCall(F &&call, double minSeconds)
{
    QElapsedTimer timer;
    timer.start();
    int calls = 0;
    qsizetype sink = 0;
    do {
        sink += call();
        ++calls;
    } while (timer.nsecsElapsed() < qint64(minSeconds * 1e9));
    if (sink < 0)
        std::puts("");
    return double(timer.nsecsElapsed()) / 1e9 / calls;
}

double megabytesPerSecond(qsizetype bytes, double seconds)
{
    return double(bytes) / (1024.0 * 1024.0) / seconds;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    tarnix::EntityTable table;
    tarnix::fillEntityTable(table);

    const QByteArray realistic = realisticPage(1 << 20);
    const QByteArray adversarial = adversarialPage(4 << 20);

    const auto ours = [&table](const QByteArray &page) {
        return [&table, &page] { return tarnix::extractTranslation(page, table).size(); };
    };
    const auto qts = [](const QByteArray &page) {
        return [&page] { return QTextDocumentFragment::fromHtml(QString::fromUtf8(page)).toPlainText().size(); };
    };

    const double oursRealistic = secondsPerCall(ours(realistic), 2.0);
    const double qtRealistic = secondsPerCall(qts(realistic), 2.0);
    const double oursAdversarial = secondsPerCall(ours(adversarial), 2.0);
    const double qtAdversarial = secondsPerCall(qts(adversarial), 2.0);

    const double perByteRealistic = oursRealistic / double(realistic.size());
    const double perByteAdversarial = oursAdversarial / double(adversarial.size());

    std::printf("page                       bytes   extract MB/s   Qt fromHtml MB/s   ratio\n");
    std::printf("realistic 1 MiB        %9lld   %12.1f   %16.1f   %5.1fx\n", qlonglong(realistic.size()),
        megabytesPerSecond(realistic.size(), oursRealistic), megabytesPerSecond(realistic.size(), qtRealistic),
        qtRealistic / oursRealistic);
    std::printf("adversarial 4 MiB '&'  %9lld   %12.1f   %16.1f   %5.1fx\n", qlonglong(adversarial.size()),
        megabytesPerSecond(adversarial.size(), oursAdversarial), megabytesPerSecond(adversarial.size(), qtAdversarial),
        qtAdversarial / oursAdversarial);
    std::printf("adversarial / realistic cost per byte: %.2f (target <= 3)\n", perByteAdversarial / perByteRealistic);
    std::printf("realistic ratio to Qt: %.1fx (target >= 25)\n", qtRealistic / oursRealistic);
    return 0;
}
