#pragma once

#include <chrono>
#include <functional>
#include <optional>

#include <QDeadlineTimer>
#include <QHash>
#include <QObject>
#include <QSet>

#include "service/engines/deeplglossaryprotocol.h"
#include "service/engines/enginerequest.h"
#include "service/text/glossary.h"

namespace tarnix::service {

// The DeepL glossaries that carry the team's glossary: one per language pair,
// origin of its files (GlossarySettings::originFor()) and version of its
// entries (Glossary::digest()), named for all three (deepLGlossaryName()).
// The first request of a pair looks for it on the account by that name, so
// a restarted service reuses it, and creates it only when it is not there;
// requests of the pair that come meanwhile wait for that one look. Once a
// new version is ready, the pair's older versions of the same origin are
// deleted (isOlderDeepLGlossary()): services that share an account but read
// other files keep their own. A pair whose glossary DeepL does not take, or could not
// make, goes without (its terms are then masked), said once in the log; a
// failed one is tried again after `retryAfter`.
class DeepLGlossaries : public QObject
{
    Q_OBJECT

public:
    // One exchange with DeepL's API: method, path ("/v2/glossaries") and JSON body.
    using Send = std::function<void(const QByteArray &method, const QString &path, const QByteArray &body,
        std::function<void(const EngineAnswer &)> done)>;

    static constexpr std::chrono::milliseconds retryAfter {60000};
    // A glossary DeepL made but has not readied is asked after again so often, so many times.
    static constexpr std::chrono::milliseconds readyPoll {250};
    static constexpr int readyPolls = 40;

    explicit DeepLGlossaries(Send send, QObject *parent = nullptr);

    void setSettings(const GlossarySettings &settings);
    // Whether the team has a glossary at all.
    bool wanted() const { return !settings.isEmpty(); }
    // The pairs of glossary languages DeepL takes ("en>de"); before they
    // are known, every pair is tried.
    void setSupportedPairs(const QSet<QString> &pairs) { supported = pairs; }

    // The glossary_id for a pair of service codes, once it is ready; empty otherwise.
    QString idFor(const QString &source, const QString &target) const;
    // Makes the pair's glossary ready unless that is settled, then calls
    // `done` once, later from the event loop. `sourceLang` and `targetLang`
    // are DeepL's glossary languages ("en", "pt").
    void prepare(const QString &source, const QString &target, const QString &sourceLang, const QString &targetLang,
        std::function<void()> done);
    // DeepL no longer knows the pair's glossary: the next request looks again.
    void forget(const QString &source, const QString &target);

private:
    struct Pair
    {
        enum class State { Unknown, Working, Ready, Without, Failed };
        State state = State::Unknown;
        QString source;
        QString target;
        QString sourceLang;
        QString targetLang;
        QString origin;
        Glossary glossary;
        QString id;
        QDeadlineTimer retry;
        QList<std::function<void()>> waiting;
    };

    void look(const QString &key);
    void create(const QString &key, const QList<DeepLGlossary> &existing);
    void waitUntilReady(const QString &key, const QString &id, int polls, const QList<DeepLGlossary> &existing);
    void ready(const QString &key, const QString &id, const QList<DeepLGlossary> &existing);
    void fail(const QString &key, const QString &why);
    void settle(const QString &key);
    QString nameOf(const Pair &pair) const;

    Send send;
    GlossarySettings settings;
    std::optional<QSet<QString>> supported;
    QHash<QString, Pair> pairs; // "source|target" (service codes)
};

} // namespace tarnix::service
