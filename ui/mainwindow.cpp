#include "ui/mainwindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QNetworkReply>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTextEdit>
#include <QVBoxLayout>

#include "ui/abouttext.h"
#include "ui/access.h"
#include "ui/catalogue.h"

using namespace Qt::StringLiterals;

namespace {

// Three languages to a row: a check box and its button take two columns each.
constexpr int gridColumns = 6;

} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
{
    resize(250, 550);
    setWindowTitle(u"Tarnix 1.0"_s);
    setWindowFlags(Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
        | Qt::WindowContextHelpButtonHint | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint
        | Qt::WindowCloseButtonHint);
    // A pixmap icon: a path icon would first search the icon engine plugins.
    setWindowIcon(QIcon(QPixmap(u":/image/logo"_s)));

    auto *central = new QWidget(this);
    setCentralWidget(central);
    auto *mainLayout = new QVBoxLayout;
    central->setLayout(mainLayout);

    auto *srcGroupBox = new QGroupBox(u"Translation Source"_s);
    mainLayout->addWidget(srcGroupBox);
    auto *srcLayout = new QVBoxLayout;
    srcGroupBox->setLayout(srcLayout);

    auto *langRow = new QHBoxLayout;
    auto *langLabel = new QLabel(u"Language:"_s);
    srcLangCombo = new QComboBox;
    srcLangCombo->setObjectName(u"srcLangCombo"_s);
    const QStringList codes = tarnix::catalogue::codes();
    srcLangCombo->insertItems(srcLangCombo->count(), tarnix::catalogue::names());
    for (int i = 0; i < codes.size(); ++i)
        srcLangCombo->setItemData(i, codes.at(i), Qt::UserRole);

    progressBar = new QProgressBar;
    progressBar->setObjectName(u"progressBar"_s);
    langRow->addWidget(langLabel);
    langRow->addWidget(srcLangCombo);
    langRow->addStretch(0);
    langRow->addWidget(progressBar);
    progressBar->setTextVisible(false);
    progressBar->setFixedWidth(100);
    progressBar->hide();

    srcTextEdit = new QTextEdit;
    srcTextEdit->setObjectName(u"srcTextEdit"_s);
    srcLayout->addLayout(langRow);
    srcLayout->addWidget(srcTextEdit);

    auto *buttonRow = new QHBoxLayout;
    mainLayout->addLayout(buttonRow);
    resetBtn = new QPushButton(u"Reset"_s);
    resetBtn->setObjectName(u"resetBtn"_s);
    buttonRow->addWidget(resetBtn);
    connect(resetBtn, &QPushButton::clicked, this, &MainWindow::reset);
    translateBtn = new QPushButton(u"Translate"_s);
    translateBtn->setObjectName(u"translateBtn"_s);
    buttonRow->addWidget(translateBtn);
    connect(translateBtn, &QPushButton::clicked, this, &MainWindow::translateClicked);
    i18nBtn = new QPushButton(u"Generate i18n"_s);
    i18nBtn->setObjectName(u"i18nBtn"_s);
    buttonRow->addWidget(i18nBtn);
    connect(i18nBtn, &QPushButton::clicked, this, &MainWindow::createI18N);

    tgtGroupBox = new QGroupBox(u"Translation Target"_s);
    tgtGroupBox->setObjectName(u"tgtGroupBox"_s);
    tgtGroupBox->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    mainLayout->addWidget(tgtGroupBox);
    auto *grid = new QGridLayout;
    tgtGroupBox->setLayout(grid);

    int row = 0;
    int column = 0;
    for (const QString &code : codes) {
        auto *box = new QCheckBox;
        box->setChecked(true);
        box->setObjectName(u"CB_"_s + code);
        grid->addWidget(box, row, column);

        auto *button = new QPushButton(tarnix::catalogue::nameOfCode(code).value_or(code), tgtGroupBox);
        button->setWhatsThis(code);
        button->setObjectName(u"BTN_"_s + code);
        grid->addWidget(button, row, column + 1);
        connect(button, &QPushButton::clicked, this, &MainWindow::tgtBtnClicked);

        column += 2;
        if (column >= gridColumns) {
            ++row;
            column = 0;
        }
    }

    infoGroupBox = new QGroupBox(u"Translation Copied to Clipboard"_s);
    infoGroupBox->setObjectName(u"infoGroupBox"_s);
    mainLayout->addWidget(infoGroupBox);
    auto *infoLayout = new QVBoxLayout;
    infoGroupBox->setLayout(infoLayout);
    infoLabel = new QLabel(this);
    infoLabel->setObjectName(u"infoLabel"_s);
    infoLabel->setFixedHeight(100);
    infoLabel->setWordWrap(true);
    infoLayout->addWidget(infoLabel);

    reset();

    infoGroupBox->setTitle(u"About"_s);
    infoLabel->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    infoLabel->setOpenExternalLinks(true);
    infoLabel->setText(tarnix::aboutText());

    connect(&netManager, &QNetworkAccessManager::finished, this, &MainWindow::parseReply);

    // Centred on the primary screen's geometry; the screen's own offset is not added.
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move((area.width() - width()) / 2, (area.height() - height()) / 2);
    }

    clipboard = QApplication::clipboard();
    tarnix::setUpAccess(this);
    initEntityTable();
}

MainWindow::~MainWindow() = default;
