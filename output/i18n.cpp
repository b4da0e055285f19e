#include "output/i18n.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include "ui/catalogue.h"
#include "ui/mainwindow.h"

using namespace Qt::StringLiterals;

namespace tarnix {

namespace {

// The fixed pieces of the element; tabs and line feeds belong to them.
constexpr QStringView head = u"<i18n original=\"";
constexpr QStringView attributeEnd = u"\">\n";
constexpr QStringView languageHead = u"\t<display locale=\"";
constexpr QStringView cdataStart = u"\t\t<![CDATA[";
constexpr QStringView cdataEnd = u"]]>\n";
constexpr QStringView languageEnd = u"\t</display>\n";
constexpr QStringView tail = u"</i18n>\n";

} // namespace

QString cdataContent(const QString &translation)
{
    QString content = translation;
    return content.replace(u"]]>"_s, u"]]]]><![CDATA[>"_s);
}

QString i18nElement(const QString &original, const QList<I18nEntry> &entries)
{
    QString element;
    element.append(head).append(original).append(attributeEnd);
    for (const I18nEntry &entry : entries) {
        element.append(languageHead).append(entry.locale).append(attributeEnd);
        element.append(cdataStart).append(cdataContent(entry.translation)).append(cdataEnd);
        element.append(languageEnd);
    }
    return element.append(tail);
}

} // namespace tarnix

// Copies the i18n element of every ticked language, in catalogue order, with
// what each language's button holds now, and shows it in the info panel.
void MainWindow::createI18N()
{
    const QString original = tarnix::catalogue::codeOfName(srcLangCombo->currentText()).value_or(QString());
    QList<tarnix::I18nEntry> entries;
    const auto boxes = tgtGroupBox->findChildren<QCheckBox *>();
    for (const QCheckBox *box : boxes) {
        if (!box->isChecked())
            continue;
        const QString code = box->objectName().mid(3);
        const auto *button = tgtGroupBox->findChild<QPushButton *>(u"BTN_"_s + code);
        entries.append({code, button ? button->toolTip() : QString()});
    }
    const QString element = tarnix::i18nElement(original, entries);

    clipboard->setText(element, QClipboard::Clipboard);
    infoGroupBox->setTitle(u"Translation Copied to Clipboard (i18n element structure)"_s);
    infoLabel->setVisible(true);
    infoLabel->setText(element);
}
