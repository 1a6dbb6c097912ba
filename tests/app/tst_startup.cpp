// Start-up: one instance at a time, the skin bundle, a missing configuration.
#include "nplayerapp.h"
#include "singleinstance.h"
#include "viewerconfig.h"

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

class TestStartup : public QObject
{
    Q_OBJECT

    const QString binDir = qEnvironmentVariable("MERIDO_BIN_DIR");

    QProcess *startViewer(const QString &runtimeDir)
    {
        auto *viewer = new QProcess(this);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir);
        viewer->setProcessEnvironment(env);
        viewer->start(binDir + QStringLiteral("/merido-viewer"));
        return viewer;
    }

private Q_SLOTS:
    void secondInstanceEndsWhileFirstRuns()
    {
        QTemporaryDir runtimeDir;
        QProcess *first = startViewer(runtimeDir.path());
        QVERIFY(first->waitForStarted());
        // The first instance is up once its socket exists.
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(runtimeDir.filePath(QStringLiteral("MERIDO Viewer"))), 30000);

        QProcess *second = startViewer(runtimeDir.path());
        QVERIFY(second->waitForFinished(30000));
        QCOMPARE(second->exitStatus(), QProcess::NormalExit);
        QCOMPARE(second->exitCode(), 0);
        QCOMPARE(first->state(), QProcess::Running);

        first->kill();
        first->waitForFinished();
        // A socket left behind by a killed instance does not keep the next one out.
        QProcess *third = startViewer(runtimeDir.path());
        QVERIFY(third->waitForStarted());
        QTest::qWait(1500);
        QCOMPARE(third->state(), QProcess::Running);
        third->kill();
        third->waitForFinished();
    }

    void missingResourceBundle_data()
    {
        QTest::addColumn<QByteArray>("bundle");
        QTest::newRow("missing") << QByteArray();
        QTest::newRow("garbage") << QByteArray("not a resource file at all");
        QFile real(binDir + QStringLiteral("/ResourceDll.rcc"));
        QVERIFY(real.open(QIODevice::ReadOnly));
        QTest::newRow("truncated") << real.read(real.size() / 2);
    }
    void missingResourceBundle()
    {
        QFETCH(QByteArray, bundle);
        QTemporaryDir appDir;
        if (!bundle.isEmpty()) {
            QFile file(appDir.filePath(QStringLiteral("ResourceDll.rcc")));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(bundle);
        }
        QString shownText;
        // The box is modal: read and dismiss it from the event loop it runs.
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                shownText = box->text();
                box->accept();
            }
        });
        poll.start(20);
        bool mainWindowRan = false;
        const int result = CQZ_NPlayerApp::InitInstance({appDir.path(), appDir.filePath(QStringLiteral("instance"))},
                                                        [&](SingleInstance &) {
                                                            mainWindowRan = true;
                                                            return 0;
                                                        });
        QCOMPARE(shownText, QStringLiteral("Not Find ResourceDll"));
        QCOMPARE(result, 1);
        QVERIFY(!mainWindowRan);
    }

    void startsWithoutConfiguration()
    {
        QTemporaryDir appDir;
        QVERIFY(QFile::copy(binDir + QStringLiteral("/ResourceDll.rcc"), appDir.filePath(QStringLiteral("ResourceDll.rcc"))));
        const int result = CQZ_NPlayerApp::InitInstance({appDir.path(), appDir.filePath(QStringLiteral("instance"))},
                                                        [](SingleInstance &) {
                                                            const ViewerConfig *config = ViewerConfig::Get();
                                                            QString text;
                                                            const bool english = config->Language() == 0;
                                                            const bool empty = config->FolderCount() == 0 &&
                                                                               config->ExtensionCount() == 0;
                                                            return english && empty &&
                                                                           !config->LookupString("COMM_SEL_FOLDER", text)
                                                                       ? 7
                                                                       : 8;
                                                        });
        QCOMPARE(result, 7);
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
