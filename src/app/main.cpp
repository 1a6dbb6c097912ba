// merido-viewer: the desktop program.
#include "nplayerapp.h"
#include "qz_nplayerdlg.h"
#include "singleinstance.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("MERIDO Viewer"));
    QApplication::setOrganizationName(QStringLiteral("MERIDO"));
    return CQZ_NPlayerApp::InitInstance(CQZ_NPlayerApp::defaultOptions(), [](SingleInstance &instance) {
        CQZ_NPlayerDlg mainWindow;
        QObject::connect(&instance, &SingleInstance::activationRequested, &mainWindow, &CQZ_NPlayerDlg::bringToFront);
        return mainWindow.DoModal();
    });
}
