#include "reply/entities.h"

#include <iterator>

namespace tarnix {

namespace {

struct Entity
{
    const char16_t *name;
    int codePoint;
};

// clang-format off
// The 96 names of code points 160 to 255, in code point order.
constexpr const char16_t *latin1Names[] = {
    u"nbsp", u"iexcl", u"cent", u"pound", u"curren", u"yen", u"brvbar", u"sect", u"uml", u"copy",
    u"ordf", u"laquo", u"not", u"shy", u"reg", u"macr", u"deg", u"plusmn", u"sup2", u"sup3",
    u"acute", u"micro", u"para", u"middot", u"cedil", u"sup1", u"ordm", u"raquo", u"frac14", u"frac12",
    u"frac34", u"iquest", u"Agrave", u"Aacute", u"Acirc", u"Atilde", u"Auml", u"Aring", u"AElig", u"Ccedil",
    u"Egrave", u"Eacute", u"Ecirc", u"Euml", u"Igrave", u"Iacute", u"Icirc", u"Iuml", u"ETH", u"Ntilde",
    u"Ograve", u"Oacute", u"Ocirc", u"Otilde", u"Ouml", u"times", u"Oslash", u"Ugrave", u"Uacute", u"Ucirc",
    u"Uuml", u"Yacute", u"THORN", u"szlig", u"agrave", u"aacute", u"acirc", u"atilde", u"auml", u"aring",
    u"aelig", u"ccedil", u"egrave", u"eacute", u"ecirc", u"euml", u"igrave", u"iacute", u"icirc", u"iuml",
    u"eth", u"ntilde", u"ograve", u"oacute", u"ocirc", u"otilde", u"ouml", u"divide", u"oslash", u"ugrave",
    u"uacute", u"ucirc", u"uuml", u"yacute", u"thorn", u"yuml",
};
static_assert(std::size(latin1Names) == 96);

// Greek capitals from 913 (930 has no letter) and small letters from 945.
constexpr const char16_t *greekCapitals[] = {
    u"Alpha", u"Beta", u"Gamma", u"Delta", u"Epsilon", u"Zeta", u"Eta", u"Theta", u"Iota",
    u"Kappa", u"Lambda", u"Mu", u"Nu", u"Xi", u"Omicron", u"Pi", u"Rho", nullptr,
    u"Sigma", u"Tau", u"Upsilon", u"Phi", u"Chi", u"Psi", u"Omega",
};
static_assert(std::size(greekCapitals) == 937 - 913 + 1);
constexpr const char16_t *greekSmall[] = {
    u"alpha", u"beta", u"gamma", u"delta", u"epsilon", u"zeta", u"eta", u"theta", u"iota",
    u"kappa", u"lambda", u"mu", u"nu", u"xi", u"omicron", u"pi", u"rho", u"sigmaf",
    u"sigma", u"tau", u"upsilon", u"phi", u"chi", u"psi", u"omega",
};
static_assert(std::size(greekSmall) == 969 - 945 + 1);

// Every other entity, by code point.
constexpr Entity others[] = {
    {u"quot", 34}, {u"OElig", 338}, {u"oelig", 339}, {u"Scaron", 352}, {u"scaron", 353}, {u"fnof", 402},
    {u"circ", 710}, {u"tilde", 732}, {u"thetasym", 977}, {u"upsih", 978}, {u"piv", 982}, {u"ensp", 8194},
    {u"emsp", 8195}, {u"thinsp", 8201}, {u"zwnj", 8204}, {u"zwj", 8205}, {u"lrm", 8206}, {u"rlm", 8207},
    {u"ndash", 8211}, {u"mdash", 8212}, {u"lsquo", 8216}, {u"rsquo", 8217}, {u"sbquo", 8218}, {u"ldquo", 8220},
    {u"rdquo", 8221}, {u"bdquo", 8222}, {u"dagger", 8224}, {u"Dagger", 8225}, {u"bull", 8226}, {u"hellip", 8230},
    {u"permil", 8240}, {u"prime", 8242}, {u"Prime", 8243}, {u"lsaquo", 8249}, {u"rsaquo", 8250}, {u"oline", 8254},
    {u"frasl", 8260}, {u"euro", 8364}, {u"image", 8465}, {u"weierp", 8472}, {u"real", 8476}, {u"trade", 8482},
    {u"alefsym", 8501}, {u"larr", 8592}, {u"uarr", 8593}, {u"rarr", 8594}, {u"darr", 8595}, {u"harr", 8596},
    {u"crarr", 8629}, {u"lArr", 8656}, {u"uArr", 8657}, {u"rArr", 8658}, {u"dArr", 8659}, {u"hArr", 8660},
    {u"forall", 8704}, {u"part", 8706}, {u"exist", 8707}, {u"empty", 8709}, {u"nabla", 8711}, {u"isin", 8712},
    {u"notin", 8713}, {u"ni", 8715}, {u"prod", 8719}, {u"sum", 8721}, {u"minus", 8722}, {u"lowast", 8727},
    {u"radic", 8730}, {u"prop", 8733}, {u"infin", 8734}, {u"ang", 8736}, {u"and", 8743}, {u"or", 8744},
    {u"cap", 8745}, {u"cup", 8746}, {u"int", 8747}, {u"there4", 8756}, {u"sim", 8764}, {u"cong", 8773},
    {u"asymp", 8776}, {u"ne", 8800}, {u"equiv", 8801}, {u"le", 8804}, {u"ge", 8805}, {u"sub", 8834},
    {u"sup", 8835}, {u"nsub", 8836}, {u"sube", 8838}, {u"supe", 8839}, {u"oplus", 8853}, {u"otimes", 8855},
    {u"perp", 8869}, {u"sdot", 8901}, {u"lceil", 8968}, {u"rceil", 8969}, {u"lfloor", 8970}, {u"rfloor", 8971},
    {u"lang", 9001}, {u"rang", 9002}, {u"loz", 9674}, {u"spades", 9824}, {u"clubs", 9827}, {u"hearts", 9829},
    {u"diams", 9830},
};
// clang-format on

constexpr int highestCodePoint = 0x10FFFF;

} // namespace

void fillEntityTable(EntityTable &table)
{
    table.clear();
    table.reserve(248);
    for (int i = 0; i < int(std::size(latin1Names)); ++i)
        table.insert(QString::fromUtf16(latin1Names[i]), 160 + i);
    for (int i = 0; i < int(std::size(greekCapitals)); ++i) {
        if (greekCapitals[i])
            table.insert(QString::fromUtf16(greekCapitals[i]), 913 + i);
    }
    for (int i = 0; i < int(std::size(greekSmall)); ++i)
        table.insert(QString::fromUtf16(greekSmall[i]), 945 + i);
    for (const Entity &entity : others)
        table.insert(QString::fromUtf16(entity.name), entity.codePoint);
}

int entityCodePoint(const EntityTable &table, QStringView body)
{
    if (body.isEmpty())
        return -1;
    if (body.front() == u'#') {
        // Qt's conversion stops reading at a NUL and takes the digits before
        // it for the whole number ("#65\0junk" would give 65): a body that
        // holds a NUL is no number.
        if (body.contains(QChar(u'\0')))
            return -1;
        bool ok = false;
        const int number = body.sliced(1).toInt(&ok, 10);
        return ok && number >= 0 && number <= highestCodePoint ? number : -1;
    }
    // Looked up without copying the body.
    return table.value(QString::fromRawData(body.data(), body.size()), -1);
}

QString decodeEntity(const EntityTable &table, QStringView body)
{
    const int codePoint = entityCodePoint(table, body);
    if (codePoint < 0)
        return {};
    // Up to 65535 the number is the 16-bit unit itself, surrogates included.
    if (codePoint <= 0xFFFF)
        return QString(QChar(char16_t(codePoint)));
    const QChar pair[] = {QChar::highSurrogate(char32_t(codePoint)), QChar::lowSurrogate(char32_t(codePoint))};
    return QString(pair, 2);
}

} // namespace tarnix
