#include "fill/formats/po.h"

#include <cerrno>
#include <csetjmp>
#include <cstdlib>
#include <iconv.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <gettext-po.h>

#include "fill/accelerator.h"
#include "fill/languages.h"

using namespace Qt::StringLiterals;

namespace tarnix::fill {

namespace {

// libgettextpo reports through callbacks and wants a fatal one never to
// return: it jumps back to the call below, past C frames only.
struct Errors
{
    QString first;
    std::jmp_buf jump;
};
Errors *errors = nullptr;

void xerror(int severity, po_message_t, const char *filename, size_t lineno, size_t, int, const char *text)
{
    if (severity >= PO_SEVERITY_ERROR && errors->first.isEmpty()) {
        QString where = filename ? QString::fromLocal8Bit(filename) : QString();
        where += u':' + QString::number(lineno == size_t(-1) ? 0 : lineno);
        errors->first = where + u": "_s + QString::fromUtf8(text).trimmed();
    }
    if (severity == PO_SEVERITY_FATAL_ERROR)
        std::longjmp(errors->jump, 1);
}

void xerror2(int severity, po_message_t m1, const char *f1, size_t l1, size_t c1, int p1, const char *t1, po_message_t,
    const char *, size_t, size_t, int, const char *)
{
    xerror(severity, m1, f1, l1, c1, p1, t1);
}

const po_xerror_handler handler {xerror, xerror2};

// Text of the file's charset to and from UTF-8 with iconv, which knows every
// charset gettext does. Nothing when a character has no place in the target.
std::optional<QByteArray> convert(const QByteArray &text, const QByteArray &from, const QByteArray &to)
{
    if (from.compare(to, Qt::CaseInsensitive) == 0)
        return text;
    iconv_t cd = iconv_open(to.constData(), from.constData());
    if (cd == iconv_t(-1))
        return std::nullopt;
    QByteArray out(text.size() * 4 + 16, Qt::Uninitialized);
    char *in = const_cast<char *>(text.constData());
    size_t inLeft = size_t(text.size());
    char *outPtr = out.data();
    size_t outLeft = size_t(out.size());
    const size_t done = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (done == size_t(-1))
        return std::nullopt;
    out.truncate(out.size() - qsizetype(outLeft));
    return out;
}

QByteArray headerField(const char *header, const char *field)
{
    if (!header)
        return {};
    char *value = po_header_field(header, field);
    const QByteArray result(value);
    std::free(value);
    return result;
}

QByteArray withField(const QByteArray &header, const char *field, const QByteArray &value)
{
    char *changed = po_header_set_field(header.constData(), field, value.constData());
    const QByteArray result(changed);
    std::free(changed);
    return result;
}

// A template's header comment as msginit rewrites it for a new catalog:
// the title, the package and the year filled in, the author's line left to
// a person ("Automatically generated").
QByteArray newCatalogComments(const QByteArray &comments, const QString &language, const QByteArray &projectId)
{
    QString project = QString::fromUtf8(projectId).trimmed();
    static const QRegularExpression version(u"\\s+(\\S*\\d\\S*|VERSION)$"_s);
    project.remove(version);
    if (project.isEmpty())
        project = u"PACKAGE"_s;
    const QString year = QString::number(QDate::currentDate().year());
    QString text = QString::fromUtf8(comments);
    text.replace(u"SOME DESCRIPTIVE TITLE"_s, u"%1 translations for %2 package"_s.arg(languageName(language), project));
    text.replace(u"PACKAGE package"_s, project + u" package"_s);
    text.replace(u"Copyright (C) YEAR"_s, u"Copyright (C) "_s + year);
    text.replace(u"FIRST AUTHOR <EMAIL@ADDRESS>, YEAR."_s, u"Automatically generated, "_s + year + u'.');
    return text.toUtf8();
}

// Runs a libgettextpo call with the handler installed. False, with the
// first error it reported ("file:line: what") or `otherwise`, when the call
// failed or reported one.
template <typename Call> bool withHandler(Call call, QString &error, const QString &otherwise)
{
    Errors found;
    errors = &found;
    volatile bool ok = false; // set between setjmp and a possible longjmp
    if (setjmp(found.jump) == 0)
        ok = call();
    errors = nullptr;
    if (ok && found.first.isEmpty())
        return true;
    error = found.first.isEmpty() ? otherwise : found.first;
    return false;
}

int messageCount(po_file_t file)
{
    int count = 0;
    for (const char *const *domain = po_file_domains(file); *domain; ++domain) {
        po_message_iterator_t it = po_message_iterator(file, *domain);
        while (po_next_message(it))
            ++count;
        po_message_iterator_free(it);
    }
    return count;
}

// Whether the catalog written to `name` reads back with all its messages.
bool readsBackWhole(const QByteArray &name, int expected, QString &error)
{
    po_file_t written = nullptr;
    const QString file = QFile::decodeName(name);
    if (!withHandler([&] { return (written = po_file_read(name.constData(), &handler)) != nullptr; }, error,
            file + u":0: cannot read back what was written"_s))
        return false;
    const int count = messageCount(written);
    po_file_free(written);
    if (count == expected)
        return true;
    error = file + u":0: cannot write: %1 of %2 messages were written"_s.arg(count).arg(expected);
    return false;
}

// A file in memory that a library can write to by name.
class MemoryFile
{
public:
    MemoryFile() = default;
    MemoryFile(const MemoryFile &) = delete;
    MemoryFile &operator=(const MemoryFile &) = delete;
    ~MemoryFile()
    {
        if (fd >= 0)
            ::close(fd);
    }
    bool open()
    {
        fd = ::memfd_create("tarnix-fill", MFD_CLOEXEC);
        error = errno;
        return fd >= 0;
    }
    QString path() const { return u"/proc/self/fd/%1"_s.arg(fd); }
    QString why() const { return systemError(error); }
    std::optional<QByteArray> contents()
    {
        struct stat status
        {
        };
        if (::fstat(fd, &status) != 0) {
            error = errno;
            return std::nullopt;
        }
        QByteArray bytes(qsizetype(status.st_size), Qt::Uninitialized);
        for (qsizetype at = 0; at < bytes.size();) {
            const ssize_t n = ::pread(fd, bytes.data() + at, size_t(bytes.size() - at), off_t(at));
            if (n <= 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                error = n == 0 ? EIO : errno;
                return std::nullopt;
            }
            at += n;
        }
        return bytes;
    }

private:
    int fd = -1;
    int error = 0;
};

} // namespace

QList<int> poMessageLines(const QByteArray &text)
{
    QList<int> lines;
    bool afterContext = false;
    int number = 0;
    for (qsizetype start = 0; start <= text.size();) {
        qsizetype end = text.indexOf('\n', start);
        if (end < 0)
            end = text.size();
        QByteArrayView line = QByteArrayView(text).sliced(start, end - start).trimmed();
        start = end + 1;
        ++number;
        if (line.startsWith("#~"))
            line = line.sliced(2).trimmed();
        else if (line.startsWith('#'))
            continue; // comments, and "#|" previous strings
        if (line.startsWith("msgctxt")) {
            lines.append(number);
            afterContext = true;
        } else if (line.startsWith("msgid ") || line.startsWith("msgid\"")) {
            if (!afterContext)
                lines.append(number);
            afterContext = false;
        }
    }
    return lines;
}

PoFormat::PoFormat() = default;

PoFormat::~PoFormat()
{
    if (file)
        po_file_free(file);
}

bool PoFormat::read(const CatalogFiles &files, Catalog &catalog, QString &error)
{
    // A catalog that does not exist yet starts from its template.
    const QString filePath = files.source.isEmpty() || QFileInfo::exists(files.target) ? files.target : files.source;
    path = filePath;
    QFile raw(filePath);
    if (!raw.open(QIODevice::ReadOnly)) {
        error = filePath + u":0: cannot read: "_s + raw.errorString();
        return false;
    }
    const QByteArray text = raw.readAll();
    if (text.contains('\0')) {
        error = filePath + u":0: not a PO file (binary data)"_s;
        return false;
    }
    const QByteArray name = QFile::encodeName(filePath);
    // After a fatal error what was read is lost, and leaked.
    if (!withHandler([&] { return (file = po_file_read(name.constData(), &handler)) != nullptr; }, error,
            filePath + u":0: cannot read"_s))
        return false;

    const char *headerText = po_file_domain_header(file, nullptr);
    isTemplate = filePath.endsWith(u".pot"_s, Qt::CaseInsensitive);
    static const QRegularExpression charsetPattern(u"charset=([A-Za-z0-9_.:-]+)"_s);
    const QString charsetName =
        charsetPattern.match(QString::fromLatin1(headerField(headerText, "Content-Type"))).captured(1);
    charsetNamed = !charsetName.isEmpty() && charsetName != u"CHARSET"_s;
    charset = charsetNamed ? charsetName.toLatin1() : "UTF-8"_ba;
    const auto decode = [this](const char *s) {
        if (!s)
            return QString();
        const auto utf8 = convert(QByteArray(s), charset, "UTF-8");
        return QString::fromUtf8(utf8 ? *utf8 : QByteArray(s));
    };

    catalog.path = filePath;
    catalog.isTemplate = isTemplate;
    catalog.language = isTemplate ? QString() : decode(headerField(headerText, "Language").constData()).trimmed();
    catalog.pluralForms = pluralCountOf(QString::fromLatin1(headerField(headerText, "Plural-Forms")));
    catalog.project = decode(headerField(headerText, "Project-Id-Version").constData()).trimmed();

    const QList<int> lines = poMessageLines(text);
    const char *const *formats = po_format_list();
    for (const char *const *domain = po_file_domains(file); *domain; ++domain) {
        po_message_iterator_t it = po_message_iterator(file, *domain);
        while (po_message_t message = po_next_message(it)) {
            Entry entry;
            entry.id = int(messages.size());
            entry.line = lines.value(messages.size());
            messages.append(message);
            entry.source = decode(po_message_msgid(message));
            if (entry.source.isEmpty() && !po_message_msgctxt(message) && !po_message_is_obsolete(message)) {
                header = message;
                continue; // the header is no entry to fill
            }
            entry.context = decode(po_message_msgctxt(message));
            // An empty msgctxt is a context too, apart from none.
            entry.key = po_message_msgctxt(message) ? entry.context + keySeparator + entry.source : entry.source;
            entry.pluralSource = decode(po_message_msgid_plural(message));
            entry.plural = po_message_msgid_plural(message) != nullptr;
            if (entry.plural) {
                for (int i = 0; const char *form = po_message_msgstr_plural(message, i); ++i)
                    entry.translations.append(decode(form));
            } else {
                entry.translations.append(decode(po_message_msgstr(message)));
            }
            const QString extracted = decode(po_message_extracted_comments(message)).trimmed();
            if (!extracted.isEmpty())
                entry.notes.append(extracted);
            for (const char *const *format = formats; *format; ++format) {
                if (po_message_is_format(message, *format))
                    entry.flags.append(QString::fromLatin1(*format));
            }
            entry.fuzzy = po_message_is_fuzzy(message);
            entry.obsolete = po_message_is_obsolete(message);
            entry.origin = originIn(decode(po_message_comments(message)));
            catalog.entries.append(entry);
        }
        po_message_iterator_free(it);
    }
    const QChar marker = poAcceleratorMarker(decode(headerText), catalog.entries);
    for (Entry &entry : catalog.entries)
        entry.accelerator = marker;
    return true;
}

WriteResult PoFormat::write(const QList<Fill> &fills, const QString &language, int pluralForms)
{
    WriteResult result;
    // A new catalog from a template is written in UTF-8, as msginit writes it.
    const QByteArray target = isTemplate ? "UTF-8"_ba : charset;
    bool filledPlural = false;
    for (const Fill &fill : fills) {
        po_message_t message = messages.value(fill.id);
        if (!message || fill.forms.isEmpty())
            continue;
        QList<QByteArray> encoded;
        for (const QString &form : fill.forms) {
            const auto bytes = convert(form.toUtf8(), "UTF-8", target);
            if (!bytes)
                break;
            encoded.append(*bytes);
        }
        if (encoded.size() != fill.forms.size()) {
            result.skipped.append(fill.id);
            result.skippedWhy = u"the file's charset cannot hold the translation"_s;
            continue;
        }
        if (po_message_msgid_plural(message)) {
            filledPlural = true;
            for (int i = 0; i < encoded.size(); ++i)
                po_message_set_msgstr_plural(message, i, encoded[i].constData());
            // A template's two empty forms, in a language with one form.
            for (int i = 8; i >= encoded.size(); --i) {
                if (po_message_msgstr_plural(message, i))
                    po_message_set_msgstr_plural(message, i, nullptr);
            }
        } else {
            po_message_set_msgstr(message, encoded.first().constData());
        }
        po_message_set_fuzzy(message, 1);
        // Where a person's translation came from, as a translator comment
        // ("# tarnix: ..."), in place of the one an earlier fill left; the
        // other comments stay. A charset that cannot hold it gets none.
        const char *comments = po_message_comments(message);
        const QByteArray old = comments ? QByteArray(comments) : QByteArray();
        const auto current = convert(old, target, "UTF-8");
        if (current && (!fill.origin.isEmpty() || current->contains(originPrefix.toUtf8()))) {
            const QString merged = withOrigin(QString::fromUtf8(*current), fill.origin);
            if (const auto bytes = convert((merged.isEmpty() ? merged : merged + u'\n').toUtf8(), "UTF-8", target))
                po_message_set_comments(message, bytes->constData());
        }
        // What msgmerge kept of an older source explains an old translation,
        // not this one.
        po_message_set_prev_msgctxt(message, nullptr);
        po_message_set_prev_msgid(message, nullptr);
        po_message_set_prev_msgid_plural(message, nullptr);
    }
    // A new catalog has its header's number of forms in every plural entry,
    // those left untranslated too, as msginit writes it.
    for (po_message_t message : std::as_const(messages)) {
        if (!isTemplate || pluralForms < 1 || !po_message_msgid_plural(message))
            continue;
        for (int i = 0; i < pluralForms; ++i) {
            if (!po_message_msgstr_plural(message, i))
                po_message_set_msgstr_plural(message, i, "");
        }
        for (int i = 8; i >= pluralForms; --i) {
            if (po_message_msgstr_plural(message, i))
                po_message_set_msgstr_plural(message, i, nullptr);
        }
    }

    // The header a catalog needs: its language, a plural rule once it holds
    // plural translations, a charset once it holds more than ASCII (gettext
    // writes and reads nothing else without one); a new one also what
    // msginit writes.
    const bool namesCharset = charsetNamed || fills.isEmpty();
    if (!header && (isTemplate || filledPlural || !namesCharset)) {
        header = po_message_create();
        po_message_set_msgid(header, "");
        po_message_set_msgstr(header,
            "MIME-Version: 1.0\nContent-Type: text/plain; charset=UTF-8\n"
            "Content-Transfer-Encoding: 8bit\n");
        po_message_iterator_t it = po_message_iterator(file, nullptr);
        po_message_insert(it, header);
        po_message_iterator_free(it);
    }
    if (header) {
        QByteArray fields(po_message_msgstr(header));
        PluralRule rule = pluralRule(language);
        if (rule.count == 0) // a language the table lacks gets the run's default, two forms
            rule = {2, u"nplurals=2; plural=(n != 1);"_s};
        if (isTemplate) {
            const QDateTime now = QDateTime::currentDateTime();
            const int offset = now.offsetFromUtc() / 60;
            const QString zone = u"%1%2%3"_s.arg(offset < 0 ? u"-"_s : u"+"_s)
                                     .arg(std::abs(offset) / 60, 2, 10, QChar(u'0'))
                                     .arg(std::abs(offset) % 60, 2, 10, QChar(u'0'));
            fields = withField(fields, "PO-Revision-Date", (now.toString(u"yyyy-MM-dd HH:mm"_s) + zone).toUtf8());
            fields = withField(fields, "Last-Translator", "Automatically generated");
            fields = withField(fields, "Language-Team", "none");
            po_message_set_fuzzy(header, 0);
            po_message_set_comments(header,
                newCatalogComments(
                    po_message_comments(header), language, headerField(fields.constData(), "Project-Id-Version"))
                    .constData());
        }
        if (isTemplate || !namesCharset) {
            fields = withField(fields, "Content-Type", "text/plain; charset=UTF-8");
            if (headerField(fields.constData(), "Content-Transfer-Encoding").isEmpty())
                fields = withField(fields, "Content-Transfer-Encoding", "8bit");
        }
        if (isTemplate || headerField(fields.constData(), "Language").trimmed().isEmpty())
            fields = withField(fields, "Language", language.toUtf8());
        const int current = pluralCountOf(QString::fromLatin1(headerField(fields.constData(), "Plural-Forms")));
        if ((isTemplate || (filledPlural && current == 0)) && rule.count > 0 && rule.count == pluralForms)
            fields = withField(fields, "Plural-Forms", rule.expression.toUtf8());
        po_message_set_msgstr(header, fields.constData());
    }

    WriteResult written = serialised();
    written.skipped = result.skipped;
    written.skippedWhy = result.skippedWhy;
    return written;
}

WriteResult PoFormat::accept(const QList<int> &ids)
{
    for (int id : ids) {
        po_message_t message = messages.value(id);
        if (!message)
            continue;
        po_message_set_fuzzy(message, 0);
        // msgmerge's note of an older source goes with the mark, as editors drop it.
        po_message_set_prev_msgctxt(message, nullptr);
        po_message_set_prev_msgid(message, nullptr);
        po_message_set_prev_msgid_plural(message, nullptr);
    }
    return serialised();
}

WriteResult PoFormat::serialised()
{
    WriteResult result;
    // libgettextpo writes only to a named file: a file in memory, read back
    // whole and read again as a catalog, so that a write the library did not
    // finish is never taken for the catalog.
    MemoryFile scratch;
    if (!scratch.open()) {
        result.error = path + u":0: cannot write: "_s + scratch.why();
        return result;
    }
    const QByteArray name = QFile::encodeName(scratch.path());
    const int expected = messageCount(file);
    if (!withHandler([&] { return po_file_write(file, name.constData(), &handler) != nullptr; }, result.error,
            path + u":0: cannot write"_s)
        || !readsBackWhole(name, expected, result.error)) {
        result.error.replace(scratch.path(), path);
        return result;
    }
    const auto bytes = scratch.contents();
    if (!bytes) {
        result.error = path + u":0: cannot write: "_s + scratch.why();
        return result;
    }
    result.bytes = *bytes;
    result.ok = true;
    return result;
}

} // namespace tarnix::fill
