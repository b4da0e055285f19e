#pragma once

#include <QList>
#include <QStringView>

namespace tarnix::service {

// One thing in a message that must reach its translation exactly as written.
struct Placeholder
{
    enum class Role : unsigned char {
        // Takes the next argument of the call: plain printf "%s" "%*d", "{}".
        // Translations keep these in their order.
        Sequential,
        // Names or numbers its argument ("%2$s", "%1", "{name}", "%(x)d") or
        // stands for itself ("%%", markup, "&amp;", "\n", URLs, --options):
        // may move, must stay.
        Positional,
        // Kept as written but not a directive: identifiers, quoted code,
        // invisible characters, the masking's own token brackets.
        Kept,
    };

    qsizetype start = 0;
    qsizetype length = 0;
    Role role = Role::Kept;
    // Stands for a number ("%d", "%n", "{count}", "%1 minutes"): an engine may
    // show it as a number that moves with its noun. Otherwise it stands for a
    // word or a name, or for itself.
    bool numeric = false;
};

// Every placeholder of `text`, left to right, none overlapping. The grammar:
//  - C/POSIX printf: %[n$][flags -+ #0'I][width|*|*n$][.prec|.*|.*n$][length
//    hh h l ll L q j z Z t I64 I32]conversion, %m, %n, %%, and gettext's
//    %<PRIu64> macros with their flags and width; a space flag only when no
//    letter follows ("50% done" is text);
//  - Python %(name)s and {} {0} {name!r:>10}; ICU/Java {0}, {0, number} and
//    whole {n, plural|select|…, …} arguments, branches included;
//  - Qt %1…%99, %L1, %n, %Ln; Ruby %{name}, %<name>d; {{name}}; strftime's
//    %H %b %Y … (no letter after them);
//  - shell expansions as one unit: $name, $1, ${name}, ${name<op>word}
//    (${1##*=}, ${var:-default}, ${#var}), $(command), $((expression));
//  - command-line lists of literal values, with the option or "=" / "[="
//    before them: {a|b}, {a,b,c}, <a|b> ("--sort[={asc,desc}]"); lists of
//    capital metavariables ({FILE|DIR}) and one-word braces are text;
//  - markup tags and comments, character references, backslash escapes as
//    written in resource files (\n \t \" \\ \xNN \uNNNN), URLs, e-mail
//    addresses, --long-options and -x, -EB short ones;
//  - identifiers (a word with an underscore or an inner capital, "name()")
//    and quoted code-like words or command lines ('markdown', `apt-mark
//    --help`; not 'Cancel');
//  - what is not text to translate and engines drop or change: control
//    characters other than tabs and line breaks (a terminal's "ESC[1m" as one
//    unit), format characters (U+FEFF, soft hyphen, zero-width and
//    direction marks) and noncharacters (U+FFFE, which Apertium takes for a
//    byte-swapped byte order mark).
QList<Placeholder> findPlaceholders(QStringView text);

} // namespace tarnix::service
