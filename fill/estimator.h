#pragma once

#include <functional>

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>

#include "fill/estimate.h"

class QNetworkAccessManager;

namespace tarnix::fill {

// The texts a run would ask for one catalog and language.
struct PlannedTexts
{
    QString file;
    QString language; // as the table shows it
    QString source; // the service's codes of the pair
    QString target;
    QList<QStringList> texts; // per entry to fill: the texts asked for it
    QStringList contexts; // per entry
};

// Asks the service (POST /estimate) what filling `planned` would take,
// translating nothing: the entries' texts in requests of at most
// `chunk` texts, a few at a time. `done` gets a row per catalog and
// language, or why the service could not say.
class Estimator : public QObject
{
    Q_OBJECT

public:
    using Done = std::function<void(const QList<CatalogEstimate> &estimates, const QString &error)>;

    Estimator(const QUrl &service, QList<PlannedTexts> planned, Done done, QObject *parent = nullptr);
    ~Estimator() override;

    static constexpr int chunk = 1000;

private:
    struct Request
    {
        qsizetype catalog = 0;
        QList<int> textsOf;
        QByteArray body;
        qsizetype count = 0;
    };
    void sendNext();

    QUrl url;
    QList<PlannedTexts> planned;
    QList<CatalogEstimate> estimates;
    QList<Request> requests;
    qsizetype next = 0;
    int inFlight = 0;
    QString error;
    Done done;
    QNetworkAccessManager *net;
};

} // namespace tarnix::fill
