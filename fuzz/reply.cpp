// The reply path on any page: the bytes read as UTF-8, cut between the
// markers and cleaned, must equal the same steps done the slow, obvious way;
// the same bytes as raw 16-bit units (unpaired surrogates included) too. The
// bytes are also one reference body: decodeEntity gives at most one character,
// the code point entityCodePoint names, a table entry only for a name and a
// number only where an independent parser reads one.
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

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

void expect(bool holds, const char *what)
{
    if (!holds) {
        fprintf(stderr, "reply path: %s\n", what);
        abort();
    }
}

// The cut, searched with the standard library rather than Qt.
QStringView referenceCut(const QString &page)
{
    std::u16string_view view(reinterpret_cast<const char16_t *>(page.utf16()), size_t(page.size()));
    const size_t start = view.find(u"<span id=result_box");
    if (start != std::u16string_view::npos)
        view.remove_prefix(start);
    const size_t end = view.find(u"<div id=gt-res-tools");
    view = end == std::u16string_view::npos ? view : view.substr(0, end);
    return QStringView(view.data(), qsizetype(view.size()));
}

void checkEntity(const QString &body)
{
    const QString decoded = tarnix::decodeEntity(table(), body);
    const int codePoint = tarnix::entityCodePoint(table(), body);
    expect(decoded.isEmpty() == (codePoint < 0), "decodeEntity and entityCodePoint disagree");
    if (codePoint > 0xFFFF) {
        expect(codePoint <= 0x10FFFF && decoded.size() == 2 && decoded[0].isHighSurrogate()
                && QChar::surrogateToUcs4(decoded[0], decoded[1]) == char32_t(codePoint),
            "wrong surrogate pair");
    } else if (codePoint >= 0) {
        expect(decoded.size() == 1 && decoded[0].unicode() == codePoint, "wrong 16-bit unit");
    }
    if (!body.startsWith(u'#')) {
        expect(codePoint == table().value(body, -1), "name not decoded as the table says");
        return;
    }
    // A plain decimal number decodes when it is a code point; a body with a
    // character that no number holds never does.
    const QStringView digits = QStringView(body).sliced(1);
    const std::string ascii = digits.toLatin1().toStdString();
    long long value = 0;
    const auto [end, error] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
    if (digits.size() > 0 && digits.size() < 19 && digits.toString() == QString::fromLatin1(ascii.data())
        && error == std::errc() && end == ascii.data() + ascii.size())
        expect(codePoint == (value >= 0 && value <= 0x10FFFF ? value : -1), "number decoded wrongly");
    for (QChar c : digits) {
        if (!c.isDigit() && !c.isSpace() && c != u'+' && c != u'-')
            expect(codePoint < 0, "a body that is no number decoded");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray page = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString text = QString::fromUtf8(page);
    const QString translation = tarnix::extractTranslation(page, table());
    expect(translation == tarnix::test::cleanSlowly(referenceCut(text), table()), "UTF-8 page cleaned differently");
    expect(translation.size() <= referenceCut(text).size(), "translation longer than its cut");

    QString units(qsizetype(size / 2), Qt::Uninitialized);
    for (qsizetype i = 0; i < units.size(); ++i)
        units[i] = QChar(char16_t(data[2 * i] | data[2 * i + 1] << 8));
    const QStringView cut = tarnix::cutTranslation(units);
    const QStringView reference = referenceCut(units);
    expect(cut.data() == reference.data() && cut.size() == reference.size(), "16-bit text cut differently");
    expect(tarnix::cleanText(cut, table()) == tarnix::test::cleanSlowly(reference, table()),
        "16-bit text cleaned differently");

    checkEntity(text);
    return 0;
}
