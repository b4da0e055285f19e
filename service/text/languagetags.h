#pragma once

#include <optional>

#include <QString>

namespace tarnix::service {

// A language code as people and clients write it, read as the service code
// the engines are asked with. Case does not matter, '_' separates like '-',
// and the usual other spellings of the service's languages are accepted: "he"
// for "iw", "kr" for "ko", "po" for "pl", "zh", "zh-Hans" and "zh-SG" for
// "zh-CN", "zh-Hant" and "zh-HK" for "zh-TW". A tag with more subtags than a
// language needs ("de-DE", "zh-Hans-CN") is read as its longest known prefix.
// A well-formed code of no language the service knows comes back in
// canonical case ("sr-Latn-RS"), for the engines to refuse; a value not of
// the shape of a BCP 47 language tag gives nullopt.
std::optional<QString> readLanguageCode(const QString &written);

} // namespace tarnix::service
