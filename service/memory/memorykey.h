#pragma once

#include <QByteArray>
#include <QString>

namespace tarnix::service {

// What a translation is remembered by: the engine's identity, the language
// pair and the text exactly as the engine was asked.
struct MemoryKey
{
    QString engine;
    QString source;
    QString target;
    QString text;
    QString context = {}; // empty for engines that are not given one
};

// The digest a row is found by (its unique index holds this instead of the
// texts themselves, which may be long; a look-up still compares every part
// of the key). An empty context adds nothing, so keys from before contexts
// keep their digest.
QByteArray keyDigest(const MemoryKey &key);

// What a row's translation must match to be served: a checksum of its key and
// its translation, stored with it, so that a row changed on disk (a flipped
// byte, an edit by hand) is never taken for a translation.
QByteArray rowChecksum(const MemoryKey &key, const QString &translation);
// The same from the key's digest, where it is at hand.
QByteArray rowChecksumOfDigest(const QByteArray &digest, const QString &translation);

} // namespace tarnix::service
