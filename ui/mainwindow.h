#pragma once

#include <QHash>
#include <QMainWindow>
#include <QNetworkAccessManager>
#include <QString>

class QClipboard;
class QComboBox;
class QGroupBox;
class QLabel;
class QNetworkReply;
class QProgressBar;
class QPushButton;
class QTextEdit;

// The program's one window. It owns the widget tree, the network manager,
// the replies still outstanding in a run and the entity table. Per-language
// widgets have no members: the slots find them under tgtGroupBox by class and
// object name ("CB_" or "BTN_" followed by the language's UI code).
class MainWindow : public QMainWindow
{
    Q_OBJECT
    Q_MOC_INCLUDE(<QNetworkReply>)

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

public slots:
    void reset();
    void translateClicked();
    void parseReply(QNetworkReply *reply);
    void tgtBtnClicked();
    void createI18N();

private:
    void sendRequests(const QStringList &targets);
    void abortPendingReplies();
    void finishTranslation();
    QString toServiceCode(const QString &uiCode) const;
    QString toUiCode(const QString &serviceCode) const;
    void initEntityTable();
    // The character(s) a reference body stands for; empty when it stands for none.
    QString decodeEntity(QStringView body) const;

    QGroupBox *tgtGroupBox;
    QGroupBox *infoGroupBox;
    QComboBox *srcLangCombo;
    QTextEdit *srcTextEdit;
    QLabel *infoLabel;
    QPushButton *resetBtn;
    QPushButton *i18nBtn;
    QPushButton *translateBtn;
    QProgressBar *progressBar;
    QNetworkAccessManager netManager;
    QHash<QString, QNetworkReply *> pendingReplies;
    QClipboard *clipboard;
    QHash<QString, int> entityTable;
};
