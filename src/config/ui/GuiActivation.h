#pragma once
// Base of the windows that read their registers whenever they become active: on every
// show, and again when the user comes back to them from another window of the program
// (not when the whole program regains focus from another application).
#include <QWidget>

class QRadioButton;

class ActivatingWindow : public QWidget {
    Q_OBJECT
public:
    // Reads the window's registers and places it beside the main window.
    virtual void Form_Activate() = 0;

protected:
    explicit ActivatingWindow(QWidget* parent = nullptr);
    void showEvent(QShowEvent* e) override;
    void changeEvent(QEvent* e) override;
    // Places the window (dx, dy) twips from the main window's top-left corner, when there is one.
    void PlaceBesideMainWindow(int dxTwips, int dyTwips);
    // Client area given in twips.
    void ResizeTwips(int widthTwips, int heightTwips);

private:
    bool leftForOwnWindow_ = false;
};

namespace gui {
// Clears an option button even though it belongs to an exclusive group.
void Deselect(QRadioButton* option);
} // namespace gui
