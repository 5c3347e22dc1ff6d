#include "datalog/frmFileDir.h"

frmFileDir::frmFileDir(QWidget* parent) : QWidget(parent, Qt::Dialog)
{
    setWindowTitle(QStringLiteral("Data File"));
}

frmFileDir* frmFileDir::instance()
{
    static frmFileDir* w = new frmFileDir;
    return w;
}

void frmFileDir::WriteDataFile() {}
