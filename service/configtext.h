#pragma once

#include <variant>

#include <QByteArray>
#include <QDir>
#include <QString>

namespace tarnix::service {

// The text of a configuration file, which must be UTF-8 (a leading byte
// order mark is dropped) (index 0), or a reason naming the encoding it seems
// to be in and what to do (index 1).
std::variant<QString, QString> configFileText(const QByteArray &bytes);

// A value without a comment after it: a ';' or '#' that follows white space
// starts one ("model = m ; the small one").
QString withoutInlineComment(const QString &value);

// The text with every line outside the section `name` left blank, so that
// line numbers stay those of the file.
QString onlySection(const QString &text, const QString &name);

// A path as written in the configuration: "~/…" in the home folder, a
// relative one in the configuration's folder.
QString configPath(const QDir &configFolder, const QString &written);

} // namespace tarnix::service
