#include "nplayerapp.h"

#include "resourcelibrary.h"
#include "singleinstance.h"
#include "viewerconfig.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QToolTip>

CQZ_NPlayerApp::Options CQZ_NPlayerApp::defaultOptions()
{
    return {QCoreApplication::applicationDirPath(), SingleInstance::defaultServerName()};
}

int CQZ_NPlayerApp::InitInstance(const Options &options, const std::function<int(SingleInstance &)> &runMainWindow)
{
    SingleInstance instance(options.instanceName);
    if (!instance.claim())
        return 0;

    const QDir appDir(options.appDir);
    if (!loadResourceLibrary(appDir.filePath(QStringLiteral("ResourceDll.rcc")))) {
        QMessageBox box(QMessageBox::NoIcon, QStringLiteral("MERIDO Viewer"), QStringLiteral("Not Find ResourceDll"),
                        QMessageBox::Ok);
        box.exec();
        return 1;
    }

    // Tool tips of the skinned controls: white on black.
    QPalette tipPalette = QToolTip::palette();
    tipPalette.setColor(QPalette::ToolTipBase, Qt::black);
    tipPalette.setColor(QPalette::ToolTipText, Qt::white);
    QToolTip::setPalette(tipPalette);

    // A missing or broken file leaves the defaults in force; the loader says why on stdout.
    ViewerConfig::Get()->Load(appDir.filePath(QStringLiteral("viewerconfig.cfg")));

    return runMainWindow(instance);
}
