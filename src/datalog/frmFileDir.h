#pragma once
// The data-log window; it also owns the data file writer's choices.
#include <QWidget>

class frmFileDir : public QWidget {
    Q_OBJECT
public:
    static frmFileDir* instance();
    // Writes the capture record to the next numbered data file.
    void WriteDataFile();

private:
    explicit frmFileDir(QWidget* parent = nullptr);
};
