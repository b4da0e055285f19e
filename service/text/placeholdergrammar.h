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

    // Which rule of the grammar found it: the check reads some kinds more
    // tolerantly in a person's translation (placeholdercheck.h).
    enum class Kind : unsigned char {
        Printf, // "%s", "%2$*1$d", "%m", "%<PRIu64>"
        Percent, // "%%"
        Python, // "%(name)s"
        Ruby, // "%{name}", "%<name>d", the "%arg" of a string catalog's substitution
        Qt, // "%1", "%L1", "%n"
        Strftime, // "%H", "%+4Y"
        Icu, // "{0, number}", "{n, plural, …}"
        DoubleBrace, // "{{name}}"
        Values, // a command line's list of literal values: "{auto|manual}", "[={up,down}]"
        Brace, // "{}", "{0}", "{name!r:>10}"
        Shell, // "$name", "${name:-x}", "$(command)"
        Markup, // "<b>", "<!-- -->"
        Reference, // "&amp;"
        Escape, // "\n", "\u00e9"
        Url,
        Mail,
        Option, // "--sort=WORD", "-x"
        Directive, // another language's keyword: Bison's "%%define" "%type", an assembler's ".register"
        Identifier, // "set_value", "setValue()", "POSIXLY_CORRECT"
        Quoted, // quoted code: 'markdown', `apt-mark --help`
        Bracket, // the masking's own token brackets
        Invisible, // a control or format character, a noncharacter: U+FEFF, ESC[1m, a soft hyphen
        Term, // a kept term of the service's configuration (keptterms.h)
    };

    qsizetype start = 0;
    qsizetype length = 0;
    Role role = Role::Kept;
    // Stands for a number ("%d", "%n", "{count}", "%1 minutes"): an engine may
    // show it as a number that moves with its noun. Otherwise it stands for a
    // word or a name, or for itself.
    bool numeric = false;
    Kind kind = Kind::Term;
    // A printf conversion's argument, 1-based: the number it names ("%2$s")
    // or the one it takes in turn ("%s" after "%*d" takes the third). 0 for
    // every other placeholder and for "%m".
    int argument = 0;
};

// Every placeholder of `text`, left to right, none overlapping. The grammar:
//  - C/POSIX printf: %[n$][flags -+ #0'I][width|*|*n$][.prec|.*|.*n$][length
//    hh h l ll L q j z Z t I64 I32]conversion (Objective-C's and Swift's %@
//    among them, and a stringsdict's variable %#@name@), %m, %n, %%, and gettext's
//    %<PRIu64> macros with their flags and width, and MPFR's %Rg %RNf; a
//    space flag only when no letter follows ("50% done" is text);
//  - other languages' keywords: a word glued to "%%" (Bison's "%%define",
//    as a C format writes "%define"), a word glued to one "%" that no rule
//    above reads ("%type"; "%define" stays the conversion %d, as msgfmt
//    reads it, with "efine" glued to it), each with a bracket glued to it
//    ("%%g[2367]"), and an assembler's ".register" after white space or an
//    opening bracket;
//  - Python %(name)s and {} {0} {name!r:>10}; ICU/Java {0}, {0, number} and
//    whole {n, plural|select|…, …} arguments, branches included;
//  - the "%arg" of a string catalog's substitution (its number);
//  - Qt %1…%99, %L1, %n, %Ln; Ruby %{name}, %<name>d; {{name}}; strftime's
//    %H %b %Y … (no letter after them);
//  - shell expansions as one unit: $name, $1, ${name}, ${name<op>word}
//    (${1##*=}, ${var:-default}, ${#var}), $(command), $((expression)), and
//    i18next's nesting $t(key, {"count": {{n}}});
//  - command-line lists of literal values, with the option or "=" / "[="
//    before them: {a|b}, {a,b,c}, <a|b> ("--sort[={asc,desc}]"), items
//    starting with "#" too ({#scratch|symbolname|#ignore}); lists of capital
//    metavariables ({FILE|DIR}) and one-word braces are text;
//  - markup tags and comments, react-i18next's numbered tags (<0>, </1>,
//    <2/>), character references, backslash escapes as
//    written in resource files (\n \t \" \\ \xNN \uNNNN; a quoted
//    backslash '\' is none), URLs, e-mail addresses;
//  - --long-options and -x, -EB, -Dapi.prefix short ones, each a whole word
//    in any script ("-SEÑAL"), after white space, a bracket, "|", ",", "="
//    or an opening quote, and without a German compound's tail
//    ("--bytes-Wert" is the option --bytes);
//  - identifiers (a word with an underscore or an inner capital, "name()")
//    and quoted code-like words or command lines ('markdown', `apt-mark
//    --help`; not 'Cancel'). Identifiers in capitals with an underscore are
//    environment variables and macros (POSIXLY_CORRECT): directives the
//    check compares; the check also compares the directives inside quoted
//    code ('--update' and « --update » agree);
//  - what is not text to translate and engines drop or change: control
//    characters other than tabs and line breaks (a terminal's "ESC[1m" as one
//    unit), format characters (U+FEFF, soft hyphen, zero-width and
//    direction marks) and noncharacters (U+FFFE, which Apertium takes for a
//    byte-swapped byte order mark).
QList<Placeholder> findPlaceholders(QStringView text);

} // namespace tarnix::service
