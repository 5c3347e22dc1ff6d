#include "device/DeviceSetup.h"
#include "shell/ui/GuiMain.h"
#include "ui/Ui.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    ui::InstallCoreHooks();
    // Virtual sensors follow the product and port the user picks in the window.
    InstallDeviceBackends(-1, ProgramSessionHost());
    Main();
    return app.exec();
}
