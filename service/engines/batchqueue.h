#pragma once

#include <QHash>
#include <QPointer>

#include "service/engines/engine.h"

namespace tarnix::service {

// An engine in front of another that gathers the texts asked of it in one
// turn of the event loop and hands each language pair's to the other
// engine as one batch (Engine::translateBatch). Everything above it (the
// pieces of a long text, the masking, the checks, the second ask) works
// text by text as for a single request; only how the texts reach the
// engine changes. Made for one batch request of a client.
class BatchQueue : public Engine
{
    Q_OBJECT

public:
    explicit BatchQueue(Engine *engine, QObject *parent = nullptr);

    QString identity() const override { return engine ? engine->identity() : QString(); }
    QString name() const override { return engine ? engine->name() : QString(); }
    QString address() const override { return engine ? engine->address() : QString(); }
    void offers(const QString &source, const QString &target, OfferCallback done) override;
    TokenForm tokenForm(const QString &source, const QString &target) const override;
    bool takesGlossary(const QString &source, const QString &target) const override
    {
        return engine && engine->takesGlossary(source, target);
    }
    void prepareGlossary(const QString &source, const QString &target, std::function<void()> done) override;
    // Many texts are in flight at once; the engine keeps to its own limit.
    TextLimits textLimits() const override;
    bool usesContext() const override { return engine && engine->usesContext(); }
    void translate(const QString &source, const QString &target, const QString &text, Callback done) override;
    void translateInContext(const QString &source, const QString &target, const QString &text, const QString &context,
        Callback done) override;

private:
    struct Waiting
    {
        QString source;
        QString target;
        QList<BatchItem> items;
        QList<Callback> done;
    };
    void flush();

    QPointer<Engine> engine;
    QHash<QString, Waiting> waiting; // "source|target" -> the texts asked this turn
    bool flushing = false;
};

} // namespace tarnix::service
