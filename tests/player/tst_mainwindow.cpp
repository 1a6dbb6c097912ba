// The main window's frame: placement of the title buttons, commands, modes, drag, closing.
#include "playercontext.h"
#include "qz_nplayerdlg.h"
#include "skinbutton.h"
#include "windowregistry.h"

#include <QApplication>
#include <QMessageBox>
#include <QResource>
#include <QScreen>
#include <QTest>
#include <QTimer>

namespace {

// "x,y" per title button, with " hidden" for hidden ones.
QStringList places(const CQZ_NPlayerDlg &dialog)
{
    QStringList list;
    for (int i = 0; i < CQZ_NPlayerDlg::kTitleButtonCount; ++i) {
        const CSkinButton *b = dialog.titleButton(i);
        list << QStringLiteral("%1,%2%3").arg(b->x()).arg(b->y()).arg(b->isHidden() ? QStringLiteral(" hidden") : QString());
    }
    return list;
}

QStringList row(std::initializer_list<std::tuple<int, int, bool>> items)
{
    QStringList list;
    for (const auto &[x, y, visible] : items)
        list << QStringLiteral("%1,%2%3").arg(x).arg(y).arg(visible ? QString() : QStringLiteral(" hidden"));
    return list;
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(QResource::registerResource(qEnvironmentVariable("MERIDO_BIN_DIR") + QStringLiteral("/ResourceDll.rcc")));
    }
    void init() { PlayerContext::Get().screenMode = ScreenModeDefault; }

    void frameAndTitleButtons()
    {
        CQZ_NPlayerDlg dialog;
        QCOMPARE(dialog.size(), QSize(820, 790));
        QVERIFY(dialog.windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("ZIRP Viewer"));
        QCOMPARE(WindowRegistry::Get().Find(IDD_MAIN), &dialog);
        // The PC-folder source asks through the folder picker over this window.
        QCOMPARE(PlayerContext::Get().catalogue.ownerWindow.data(), &dialog);
        QVERIFY(PlayerContext::Get().catalogue.folderPicker);
        QCOMPARE(places(dialog), row({{790, 2, true}, {765, 2, true}, {740, 2, true}, {715, 2, true},
                                               {715, 2, false}, {690, 2, true}, {665, 2, true}}));
        QStringList tips;
        for (int i = 0; i < CQZ_NPlayerDlg::kTitleButtonCount; ++i) {
            tips << dialog.titleButton(i)->toolTip();
            QVERIFY2(!dialog.titleButton(i)->currentImage().isNull(), "every title button has its bitmap");
        }
        QCOMPARE(tips, (QStringList{"Close", "Full Screen", "Fit Screen", "Minimization", "Default Screen",
                                    "File list", "Map"}));
    }

    void paintsBackgroundAndTitle()
    {
        CQZ_NPlayerDlg dialog;
        const QImage image = dialog.grab().toImage();
        QCOMPARE(image.pixelColor(400, 400), QColor(16, 16, 16));
        // The title text: light pixels inside its rectangle, none right of it.
        int light = 0;
        for (int y = 6; y < 21; ++y)
            for (int x = 15; x < 320; ++x)
                light += image.pixelColor(x, y).lightness() > 120;
        QVERIFY2(light > 100, "title text drawn");
        for (int y = 6; y < 21; ++y)
            for (int x = 330; x < 600; ++x)
                QCOMPARE(image.pixelColor(x, y), QColor(16, 16, 16));
    }

    void hiddenUntilShowTimer()
    {
        CQZ_NPlayerDlg dialog;
        bool hiddenAtStart = false;
        bool shownLater = false;
        QTimer::singleShot(0, &dialog, [&] { hiddenAtStart = !dialog.isVisible(); });
        QTimer::singleShot(400, &dialog, [&] {
            shownLater = dialog.isVisible();
            dialog.titleButton(0)->click();
        });
        QCOMPARE(dialog.DoModal(), int(QDialog::Accepted));
        QVERIFY(hiddenAtStart);
        QVERIFY(shownLater);
    }

    void missingPlaybackElements()
    {
        CQZ_NPlayerDlg dialog(nullptr, [] { return false; });
        QString shown;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                shown = box->text();
                box->accept();
            }
        });
        poll.start(20);
        QCOMPARE(dialog.DoModal(), int(QDialog::Accepted));
        QCOMPARE(shown, QStringLiteral("Not Find QZ filter"));
        QVERIFY(!dialog.isVisible());
    }

    void keysEndTheRun_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("result");
        QTest::newRow("Enter") << int(Qt::Key_Return) << int(QDialog::Accepted);
        QTest::newRow("Escape") << int(Qt::Key_Escape) << int(QDialog::Rejected);
    }
    void keysEndTheRun()
    {
        QFETCH(int, key);
        QFETCH(int, result);
        CQZ_NPlayerDlg dialog;
        QTimer::singleShot(300, &dialog, [&] { QTest::keyClick(&dialog, Qt::Key(key)); });
        QCOMPARE(dialog.DoModal(), result);
    }

    void commands()
    {
        CQZ_NPlayerDlg dialog;
        QCOMPARE(sendAppMessage(&dialog, WM_PLAYER_COMMAND, 99), LRESULT(-1));
        QCOMPARE(sendAppMessage(&dialog, WM_PLAYER_COMMAND, 15), LRESULT(-1));
        QCOMPARE(sendAppMessage(&dialog, WM_PLAYER_COMMAND, CQZ_NPlayerDlg::IDC_MAP), LRESULT(0));
        sendAppMessage(&dialog, WM_MODAL_STATE, 0);
        QVERIFY(!dialog.isEnabled());
        sendAppMessage(&dialog, WM_MODAL_STATE, 1);
        QVERIFY(dialog.isEnabled());
    }

    void screenModes()
    {
        CQZ_NPlayerDlg dialog;
        dialog.show();
        const int cx = QGuiApplication::primaryScreen()->geometry().width();
        const auto command = [&](int id) { sendAppMessage(&dialog, WM_PLAYER_COMMAND, WPARAM(id)); };

        command(CQZ_NPlayerDlg::IDC_FULL_SCREEN);
        QCOMPARE(PlayerContext::Get().screenMode, int(ScreenModeFull));
        QCOMPARE(dialog.geometry(), QGuiApplication::primaryScreen()->geometry());
        const QStringList full = row({{cx - 30, 4, true},  {cx - 55, 4, false}, {cx - 80, 4, true}, {cx - 105, 4, true},
                                {cx - 55, 4, true},  {cx - 130, 4, true}, {cx - 155, 4, true}});
        QCOMPARE(places(dialog), full);
        command(CQZ_NPlayerDlg::IDC_FULL_SCREEN); // a second click changes nothing
        QCOMPARE(places(dialog), full);

        command(CQZ_NPlayerDlg::IDC_FIT_SCREEN); // straight from full to fit
        QCOMPARE(PlayerContext::Get().screenMode, int(ScreenModeFit));
        QCOMPARE(places(dialog), row({{cx - 30, 4, true}, {cx - 55, 4, true}, {cx - 80, 4, false},
                                               {cx - 105, 4, true}, {cx - 80, 4, true}, {cx - 130, 4, true},
                                               {cx - 155, 4, true}}));

        command(CQZ_NPlayerDlg::IDC_DEFAULT_SCREEN);
        QCOMPARE(PlayerContext::Get().screenMode, int(ScreenModeDefault));
        QCOMPARE(dialog.size(), QSize(820, 790));
        QCOMPARE(places(dialog), row({{790, 4, true}, {765, 4, true}, {740, 4, true}, {715, 4, true},
                                               {715, 4, false}, {690, 4, true}, {665, 4, true}}));
    }

    void dragOnlyInDefaultMode()
    {
        CQZ_NPlayerDlg dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        const QPoint start = dialog.pos();
        QTest::mousePress(&dialog, Qt::LeftButton, {}, QPoint(400, 300));
        QMouseEvent move(QEvent::MouseMove, QPointF(430, 320), dialog.mapToGlobal(QPointF(430, 320)), Qt::NoButton,
                         Qt::LeftButton, {});
        QApplication::sendEvent(&dialog, &move);
        QTest::mouseRelease(&dialog, Qt::LeftButton, {}, QPoint(430, 320));
        QCOMPARE(dialog.pos(), start + QPoint(30, 20));

        PlayerContext::Get().screenMode = ScreenModeFit;
        const QPoint fixed = dialog.pos();
        QTest::mousePress(&dialog, Qt::LeftButton, {}, QPoint(400, 300));
        QApplication::sendEvent(&dialog, &move);
        QTest::mouseRelease(&dialog, Qt::LeftButton, {}, QPoint(430, 320));
        QCOMPARE(dialog.pos(), fixed);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
