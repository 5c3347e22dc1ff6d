#include "device/DeviceSetup.h"
#include "shell/ui/GuiMain.h"
#include "ui/Ui.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    ui::InstallCoreHooks();
    InstallDeviceBackends();
    Main();
    return app.exec();
}
