#include "config/ui/GuiActivation.h"
#include "ui/Ui.h"

#include <QApplication>
#include <QRadioButton>
#include <QShowEvent>
#include <QTimer>

ActivatingWindow::ActivatingWindow(QWidget* parent)
    : QWidget(parent, Qt::Window)
{
}

void ActivatingWindow::showEvent(QShowEvent* e)
{
    QWidget::showEvent(e);
    if (!e->spontaneous()) {
        leftForOwnWindow_ = false;
        Form_Activate();
    }
}

void ActivatingWindow::changeEvent(QEvent* e)
{
    QWidget::changeEvent(e);
    if (e->type() != QEvent::ActivationChange)
        return;
    if (isActiveWindow()) {
        if (leftForOwnWindow_) {
            leftForOwnWindow_ = false;
            Form_Activate();
        }
        return;
    }
    // Which window took over is known only once the activation change has settled.
    QTimer::singleShot(0, this, [this] {
        QWidget* now = QApplication::activeWindow();
        leftForOwnWindow_ = now != nullptr && now != this;
    });
}

void ActivatingWindow::PlaceBesideMainWindow(int dxTwips, int dyTwips)
{
    ui::PlaceRelativeTo(this, ui::MainWindowOrNull(), dxTwips, dyTwips);
}

void ActivatingWindow::ResizeTwips(int widthTwips, int heightTwips)
{
    resize(ui::TwipsToPixelsX(widthTwips), ui::TwipsToPixelsY(heightTwips));
}

namespace gui {
void Deselect(QRadioButton* option)
{
    if (!option->isChecked())
        return;
    const bool exclusive = option->autoExclusive();
    option->setAutoExclusive(false);
    option->setChecked(false);
    option->setAutoExclusive(exclusive);
}

} // namespace gui
