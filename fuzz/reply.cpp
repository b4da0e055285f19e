// The reply path on any page: the bytes read as UTF-8, cut between the
// markers and cleaned, must equal the same steps done the slow, obvious way.
// The same bytes read as raw 16-bit units (unpaired surrogates included) go
// through the cleaning pass too.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include <QByteArray>
#include <QString>

#include "reply/entities.h"
#include "reply/extract.h"
#include "tests/support/slowclean.h"

namespace {

const tarnix::EntityTable &table()
{
    static const tarnix::EntityTable filled = [] {
        tarnix::EntityTable table;
        tarnix::fillEntityTable(table);
        return table;
    }();
    return filled;
}

// On a mismatch both texts are printed, 16-bit units in hex.
void expectEqual(const QString &got, const QString &reference, const char *what)
{
    if (got == reference)
        return;
    fprintf(stderr, "reply path: %s\n", what);
    for (const QString *text : {&got, &reference}) {
        fprintf(stderr, text == &got ? "got:      " : "expected: ");
        for (QChar c : *text)
            fprintf(stderr, "%04x ", c.unicode());
        fprintf(stderr, "\n");
    }
    abort();
}

void expect(bool holds, const char *what)
{
    if (!holds) {
        fprintf(stderr, "reply path: %s\n", what);
        abort();
    }
}

// The cut, searched with the standard library rather than Qt.
std::u16string_view referenceCut(std::u16string_view page)
{
    const size_t start = page.find(u"<span id=result_box");
    if (start != std::u16string_view::npos)
        page.remove_prefix(start);
    const size_t end = page.find(u"<div id=gt-res-tools");
    return end == std::u16string_view::npos ? page : page.substr(0, end);
}

QString referenceClean(std::u16string_view kept)
{
    return tarnix::test::cleanSlowly(QStringView(kept.data(), qsizetype(kept.size())), table());
}

std::u16string_view viewOf(const QString &text)
{
    return {reinterpret_cast<const char16_t *>(text.utf16()), size_t(text.size())};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray page = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString translation = tarnix::extractTranslation(page, table());
    const QString text = QString::fromUtf8(page);
    const std::u16string_view kept = referenceCut(viewOf(text));
    expectEqual(translation, referenceClean(kept), "UTF-8 page cleaned differently from the reference");
    expect(translation.size() <= qsizetype(kept.size()), "translation longer than its cut");

    QString units(qsizetype(size / 2), Qt::Uninitialized);
    for (qsizetype i = 0; i < units.size(); ++i)
        units[i] = QChar(char16_t(data[2 * i] | data[2 * i + 1] << 8));
    const QStringView cut = tarnix::cutTranslation(units);
    const std::u16string_view referenceUnits = referenceCut(viewOf(units));
    expect(cut.data() == reinterpret_cast<const QChar *>(referenceUnits.data())
            && cut.size() == qsizetype(referenceUnits.size()),
        "16-bit text cut differently from the reference");
    expectEqual(tarnix::cleanText(cut, table()), referenceClean(referenceUnits),
        "16-bit text cleaned differently from the reference");
    return 0;
}
