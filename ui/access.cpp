#include "ui/access.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QTextEdit>

#include "ui/catalogue.h"

using namespace Qt::StringLiterals;

namespace tarnix {

namespace {

bool takesTabFocus(const QWidget *widget)
{
    return (widget->focusPolicy() & Qt::TabFocus) && widget->isEnabled() && widget->isVisibleTo(widget->window());
}

// The next (or previous) widget in the focus chain that Tab would reach.
QWidget *neighbour(QWidget *from, bool forward)
{
    QWidget *candidate = from;
    do {
        candidate = forward ? candidate->nextInFocusChain() : candidate->previousInFocusChain();
    } while (candidate != from && !takesTabFocus(candidate));
    return candidate;
}

class TabOut : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto *key = static_cast<QKeyEvent *>(event);
        if (!(key->modifiers() & Qt::ControlModifier))
            return false;
        if (key->key() != Qt::Key_Tab && key->key() != Qt::Key_Backtab)
            return false;
        const bool forward = key->key() == Qt::Key_Tab && !(key->modifiers() & Qt::ShiftModifier);
        neighbour(static_cast<QWidget *>(watched), forward)
            ->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
        return true;
    }
};

template <typename T> T *named(const QWidget *window, const QString &name)
{
    return window->findChild<T *>(name);
}

} // namespace

void setUpAccess(QWidget *window)
{
    auto *combo = named<QComboBox>(window, u"srcLangCombo"_s);
    auto *edit = named<QTextEdit>(window, u"srcTextEdit"_s);
    auto *translate = named<QPushButton>(window, u"translateBtn"_s);
    auto *targets = named<QGroupBox>(window, u"tgtGroupBox"_s);

    // On Linux a combo box is announced by its value; its label names it.
    combo->setAccessibleName(u"Source language"_s);
    for (QLabel *label : window->findChildren<QLabel *>()) {
        if (label->text() == u"Language:"_s)
            label->setBuddy(combo);
    }
    edit->setAccessibleName(u"Source text"_s);
    edit->setAccessibleDescription(u"The text to translate. Ctrl+Tab leaves the box; Ctrl+Return translates."_s);
    named<QProgressBar>(window, u"progressBar"_s)->setAccessibleName(u"Translation progress"_s);
    named<QLabel>(window, u"infoLabel"_s)->setAccessibleName(u"Information"_s);
    translate->setAccessibleDescription(u"Starts a translation, or cancels the one under way (Ctrl+Return)"_s);

    edit->installEventFilter(new TabOut(edit));
    for (const auto sequence : {Qt::CTRL | Qt::Key_Return, Qt::CTRL | Qt::Key_Enter}) {
        auto *shortcut = new QShortcut(QKeySequence(sequence), window);
        QObject::connect(shortcut, &QShortcut::activated, translate, &QPushButton::click);
    }

    QWidget *previous = edit;
    QWidget::setTabOrder(combo, edit);
    for (const char16_t *name : {u"resetBtn", u"translateBtn", u"i18nBtn"}) {
        auto *button = named<QPushButton>(window, QString::fromUtf16(name));
        QWidget::setTabOrder(previous, button);
        previous = button;
    }
    for (const QString &code : catalogue::codes()) {
        auto *box = named<QCheckBox>(targets, u"CB_"_s + code);
        auto *button = named<QPushButton>(targets, u"BTN_"_s + code);
        const QString name = catalogue::nameOfCode(code).value_or(code);
        box->setAccessibleName(name);
        box->setAccessibleDescription(u"Makes "_s + name + u" a target of the next translation"_s);
        QWidget::setTabOrder(previous, box);
        QWidget::setTabOrder(box, button);
        previous = button;
    }
    QWidget::setTabOrder(previous, named<QLabel>(window, u"infoLabel"_s));
}

} // namespace tarnix
