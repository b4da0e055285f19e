#include "service/memory/memorykey.h"

#include <QCryptographicHash>

namespace tarnix::service {

QByteArray keyDigest(const MemoryKey &key)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const QString *part : {&key.engine, &key.source, &key.target, &key.text, &key.context}) {
        if (part == &key.context && part->isEmpty())
            break;
        const QByteArray bytes = part->toUtf8();
        hash.addData(QByteArray::number(bytes.size()) + ':');
        hash.addData(bytes);
    }
    return hash.result();
}

QByteArray rowChecksum(const MemoryKey &key, const QString &translation)
{
    return rowChecksumOfDigest(keyDigest(key), translation);
}

QByteArray rowChecksumOfDigest(const QByteArray &digest, const QString &translation)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(digest);
    hash.addData(translation.toUtf8());
    return hash.result().left(16);
}

} // namespace tarnix::service
