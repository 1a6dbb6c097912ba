// The bitmap slider driven by real mouse and key events.
#include "appmessages.h"
#include "bitmapslider.h"

#include <QApplication>
#include <QTest>

namespace {

QPixmap solid(int width, int height, QColor color)
{
    QPixmap pixmap(width, height);
    pixmap.fill(color);
    return pixmap;
}

// The slider's owner: records the notifications that reach it.
class Owner : public QWidget
{
public:
    QList<std::tuple<unsigned, WPARAM, LPARAM>> received;

    QList<std::tuple<unsigned, WPARAM, LPARAM>> take()
    {
        QCoreApplication::processEvents();
        return std::exchange(received, {});
    }

protected:
    bool event(QEvent *e) override
    {
        if (e->type() != AppMessage::eventType())
            return QWidget::event(e);
        auto *msg = static_cast<AppMessage *>(e);
        received.append({msg->message, msg->wParam, msg->lParam});
        return true;
    }
};

const QColor kTrack(30, 30, 30), kFilled(60, 120, 200), kThumb(230, 230, 230);

} // namespace

class TestBitmapSlider : public QObject
{
    Q_OBJECT

    std::unique_ptr<Owner> owner;

    // A slider configured the way its users do it: bitmaps, no focus rectangle, range, pos.
    CBitmapSlider *make(const QString &text, int id, int trackWidth, int thumbWidth, int min, int max, int pos)
    {
        auto *slider = new CBitmapSlider;
        slider->Create(text, QRect(10, 10, 1, 1), owner.get(), id);
        slider->SetOwner(owner.get());
        slider->SetBitmapChannel(solid(trackWidth, 13, kTrack), solid(trackWidth, 13, kFilled));
        slider->SetBitmapThumb(solid(thumbWidth, 13, kThumb), solid(thumbWidth, 13, Qt::yellow));
        slider->DrawFocusRect(false);
        slider->SetRange(min, max);
        slider->SetPos(pos);
        return slider;
    }

private Q_SLOTS:
    void init()
    {
        owner = std::make_unique<Owner>();
        owner->resize(400, 100);
        owner->show();
    }
    void cleanup() { owner.reset(); }

    void trackGivesSize()
    {
        CBitmapSlider *slider = make(QStringLiteral("VOL"), 7, 85, 9, 0, 100, 50);
        QCOMPARE(slider->geometry(), QRect(10, 10, 85, 13));
    }

    // Range 1..10 on an 85-pixel track with a 9-pixel thumb: the ends map to the ends.
    void pressMapsPixelToPosition_data()
    {
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("pos");
        QTest::newRow("left stop") << 4 << 1;
        QTest::newRow("right stop") << 81 << 10;
        QTest::newRow("past the right end") << 84 << 10;
        QTest::newRow("before the left end") << 0 << 1;
        QTest::newRow("left of the thumb") << 30 << 4;
    }
    void pressMapsPixelToPosition()
    {
        QFETCH(int, x);
        QFETCH(int, pos);
        CBitmapSlider *slider = make(QStringLiteral("SPEED"), 1005, 85, 9, 1, 10, 6);
        QTest::mousePress(slider, Qt::LeftButton, {}, QPoint(x, 6));
        QCOMPARE(slider->GetPos(), pos);
        QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(x, 6));
    }

    void dragKeepsGrabPoint()
    {
        // One position per pixel: centre = pos + 5.
        CBitmapSlider *slider = make(QStringLiteral("VOL"), 9, 210, 10, 0, 200, 100);
        QCOMPARE(slider->thumbCentre(100), 105);
        QTest::mousePress(slider, Qt::LeftButton, {}, QPoint(108, 6)); // 3 px right of the centre
        QCOMPARE(slider->GetPos(), 100);
        QVERIFY(owner->take().isEmpty()); // the thumb did not move
        QTest::mouseMove(slider, QPoint(138, 6));
        QCOMPARE(slider->thumbCentre(slider->GetPos()), 135); // still 3 px left of the mouse
        QCOMPARE(owner->take(), (QList<std::tuple<unsigned, WPARAM, LPARAM>>{{WM_SLIDER_MOVED, 9, 1}}));
        QTest::mouseMove(slider, QPoint(138, 9)); // same pixel column
        QVERIFY(owner->take().isEmpty());
        QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(138, 9));
        QVERIFY(!slider->isDragging());
    }

    void pressBesideThumbJumps()
    {
        CBitmapSlider *slider = make(QStringLiteral("VOL"), 9, 210, 10, 0, 200, 100);
        QTest::mousePress(slider, Qt::LeftButton, {}, QPoint(160, 6));
        QCOMPARE(slider->thumbCentre(slider->GetPos()), 160);
        QCOMPARE(owner->take().size(), 1);
    }

    void seekSliderKeys_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("pos");
        QTest::newRow("Right") << int(Qt::Key_Right) << 1001;
        QTest::newRow("Down") << int(Qt::Key_Down) << 1001;
        QTest::newRow("Left") << int(Qt::Key_Left) << 999;
        QTest::newRow("Page Down") << int(Qt::Key_PageDown) << 1020;
        QTest::newRow("Page Up") << int(Qt::Key_PageUp) << 980;
        QTest::newRow("End") << int(Qt::Key_End) << 60000;
        QTest::newRow("Home") << int(Qt::Key_Home) << 0;
    }
    void seekSliderKeys()
    {
        QFETCH(int, key);
        QFETCH(int, pos);
        CBitmapSlider *slider = make(QStringLiteral("SEEK"), 1001, 390, 13, 0, 60000, 1000);
        QTest::keyClick(slider, Qt::Key(key));
        QCOMPARE(slider->GetPos(), pos);
        QCOMPARE(owner->take(), (QList<std::tuple<unsigned, WPARAM, LPARAM>>{{WM_SEEK_TO, 0, 1}}));
    }

    void keysStopAtTheEnds()
    {
        CBitmapSlider *slider = make(QStringLiteral("VOL"), 3, 85, 9, 0, 100, 95);
        QTest::keyClick(slider, Qt::Key_PageDown);
        QCOMPARE(slider->GetPos(), 100);
        QTest::keyClick(slider, Qt::Key_Right);
        QCOMPARE(slider->GetPos(), 100);
    }

    void disabledIgnoresInput()
    {
        CBitmapSlider *slider = make(QStringLiteral("VOL"), 3, 85, 9, 0, 100, 50);
        slider->Enable(false);
        QTest::keyClick(slider, Qt::Key_End);
        QTest::mouseClick(slider, Qt::LeftButton, {}, QPoint(80, 6));
        QCOMPARE(slider->GetPos(), 50);
        QVERIFY(owner->take().isEmpty());
        // Only the track is drawn: no filled part, no thumb.
        const QImage image = slider->grab().toImage();
        QCOMPARE(image.pixelColor(slider->thumbCentre(50), 6), kTrack);
        QCOMPARE(image.pixelColor(2, 6), kTrack);
    }

    void emptyRangeRestsAtLeft()
    {
        CBitmapSlider *slider = make(QStringLiteral("SEEK"), 1001, 390, 13, 0, 0, 0);
        QCOMPARE(slider->thumbCentre(0), 6);
        QTest::mousePress(slider, Qt::LeftButton, {}, QPoint(200, 6));
        QTest::keyClick(slider, Qt::Key_End);
        QCOMPARE(slider->GetPos(), 0);
        QCOMPARE(slider->grab().toImage().pixelColor(6, 6), Qt::yellow); // dragged thumb image
    }

    void paintsFilledPartUpToTheThumb()
    {
        CBitmapSlider *slider = make(QStringLiteral("VOL"), 3, 210, 10, 0, 200, 100);
        const QImage image = slider->grab().toImage();
        const int centre = slider->thumbCentre(100);
        QCOMPARE(image.pixelColor(centre - 7, 6), kFilled); // the filled part stops 6 px short
        QCOMPARE(image.pixelColor(centre, 6), kThumb);
        QCOMPARE(image.pixelColor(centre + 6, 6), kTrack);
    }
};

QTEST_MAIN(TestBitmapSlider)
#include "tst_bitmapslider.moc"
