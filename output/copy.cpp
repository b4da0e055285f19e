#include <QClipboard>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include "ui/mainwindow.h"

using namespace Qt::StringLiterals;

// Copies the clicked language button's translation and shows it, titled with
// the language's name. Reached from anything but a language button (a direct
// call, another sender) it does nothing.
void MainWindow::tgtBtnClicked()
{
    const auto *button = qobject_cast<QPushButton *>(sender());
    if (!button || button->parent() != tgtGroupBox || !button->objectName().startsWith(u"BTN_"_s))
        return;
    const QString translation = button->toolTip();
    clipboard->setText(translation, QClipboard::Clipboard);
    infoGroupBox->setTitle(u"Translation Copied to Clipboard ("_s + button->text() + u')');
    infoLabel->setVisible(true);
    infoLabel->setText(translation);
}
