#pragma once

#include <optional>

#include <QList>
#include <QString>
#include <QStringView>

namespace tarnix::service {

// Whose translation is checked.
enum class Reading : unsigned char {
    // An engine's answer: its placeholders were masked and put back, so every
    // directive must come back exactly as written.
    Machine,
    // A person's translation (tarnix-fill --check), read as msgfmt and the
    // catalogs' own conventions allow: a metavariable may be translated
    // ("--output=FILE" as "--output=FICHIER", "-NUM" as "-NOMBRE", "<N>" as
    // "<GETAL>"; a lowercase value is one when the source also uses it alone,
    // "-f progfile --file=progfile"), a URL or e-mail address may be replaced
    // by the translation team's and one may be added, an option may be added,
    // and a message that is nothing but a tag or a shell name ("<tag>",
    // "$default") is a word the program prints and may be translated.
    Human,
};

// One way a translation's directives differ from its source's.
struct PlaceholderDifference
{
    enum class Kind : unsigned char {
        Missing, // `source` has no counterpart in the translation
        Changed, // the translation has `translation` where `source` was
        Added, // the translation has `translation`, the source nothing like it
        Reordered, // printf conversions taken in another order: `source` now takes `translation`'s argument
    };
    Kind kind = Kind::Missing;
    QString source;
    QString translation;
    bool numeric = false; // the source's directive stands for a number ("%d", "%<PRIdMAX>")
};

// The directives of `translation` (found with the same grammar, identifiers
// and quoted code aside, but the directives inside quoted code and
// environment variables counted) against those of `source`, as a multiset;
// "{}" must keep its order, and a printf conversion its argument: "%s of %d"
// may become "%2$d de %1$s", never "%d de %s". Empty when they agree. A
// missing directive pairs with the most alike added one of its kind as a
// change ("--version" with "-version").
QList<PlaceholderDifference> placeholderDifferences(QStringView source, QStringView translation, Reading reading);

// The first difference of an engine's answer in the service's words, naming
// the placeholder; empty when none.
std::optional<QString> placeholderMismatch(QStringView source, QStringView translation);

} // namespace tarnix::service
