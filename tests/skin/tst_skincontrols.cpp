// Skinned button, text box and static with real mouse events.
#include "appmessages.h"
#include "skinbutton.h"
#include "skinstatic.h"
#include "textbox.h"
#include "windowregistry.h"

#include <QApplication>
#include <QPainter>
#include <QTest>

namespace {

QPixmap solid(QColor color)
{
    QPixmap pixmap(20, 20);
    pixmap.fill(color);
    return pixmap;
}

// A parent that records the commands its buttons send.
class Parent : public QWidget
{
public:
    QList<WPARAM> commands;

protected:
    bool event(QEvent *e) override
    {
        if (e->type() != AppMessage::eventType())
            return QWidget::event(e);
        auto *msg = static_cast<AppMessage *>(e);
        if (msg->message == WM_PLAYER_COMMAND)
            commands.append(msg->wParam);
        return true;
    }
};

class CountingTextBox : public CTextBox
{
public:
    using CTextBox::CTextBox;
    int paints = 0;

protected:
    void paintEvent(QPaintEvent *event) override
    {
        ++paints;
        CTextBox::paintEvent(event);
    }
};

QColor centreColour(QWidget *widget)
{
    return widget->grab().toImage().pixelColor(widget->width() / 2, widget->height() / 2);
}

} // namespace

class TestSkinControls : public QObject
{
    Q_OBJECT

    const QColor normalColour{40, 40, 40}, hoverColour{90, 140, 200}, pressedColour{200, 60, 60};

    CSkinButton *makeButton(Parent &parent, int id)
    {
        auto *button = new CSkinButton;
        button->Create(QStringLiteral("Close"), QRect(10, 10, 20, 20), &parent, id);
        button->SetBitmaps(solid(pressedColour), solid(normalColour), solid(hoverColour), 0, 0, 20, 20);
        return button;
    }

private Q_SLOTS:
    void clickIsSentBeforeItReturns()
    {
        Parent parent;
        parent.resize(100, 50);
        parent.show();
        CSkinButton *button = makeButton(parent, 16);
        QCOMPARE(button->toolTip(), QStringLiteral("Close"));
        QTest::mouseClick(button, Qt::LeftButton);
        // No event processing in between: the message was sent, not posted.
        QCOMPARE(parent.commands, QList<WPARAM>{16});
    }

    void imagesFollowState()
    {
        Parent parent;
        parent.resize(100, 50);
        parent.show();
        QVERIFY(QTest::qWaitForWindowExposed(&parent));
        CSkinButton *button = makeButton(parent, 17);
        QCOMPARE(centreColour(button), normalColour);

        QEnterEvent enter(QPointF(5, 5), QPointF(15, 15), QPointF(15, 15));
        QApplication::sendEvent(button, &enter);
        QVERIFY(button->isHovering());
        QCOMPARE(centreColour(button), hoverColour);

        button->setDown(true);
        QCOMPARE(centreColour(button), pressedColour);
        button->setDown(false);

        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(button, &leave);
        QCOMPARE(centreColour(button), normalColour);

        button->setEnabled(false);
        QCOMPARE(centreColour(button), pressedColour);
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(parent.commands.isEmpty());
    }

    void hoverBringsMainWindowForward()
    {
        QWidget mainWindow;
        mainWindow.resize(200, 200);
        mainWindow.show();
        WindowRegistry::Get().Register(IDD_MAIN, &mainWindow);
        QWidget other;
        other.show();
        other.activateWindow();
        QTRY_VERIFY(other.isActiveWindow());

        Parent parent;
        parent.resize(100, 50);
        parent.show();
        CSkinButton *button = makeButton(parent, 18);
        QEnterEvent enter(QPointF(5, 5), QPointF(15, 15), QPointF(15, 15));
        QApplication::sendEvent(button, &enter);
        button->repaint(); // the hover image is drawn, which arms the 250 ms timer
        QTRY_VERIFY_WITH_TIMEOUT(mainWindow.isActiveWindow(), 2000);
        WindowRegistry::Get().clear();
    }

    void textBoxRepaintsOnlyOnChange()
    {
        CountingTextBox box;
        box.resize(60, 16);
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        QCOMPARE(box.text(), QStringLiteral("00:00"));
        const int before = box.paints;
        box.SetText(QStringLiteral("00:00"));
        QCOMPARE(box.paints, before);
        box.SetText(QStringLiteral("01:23"));
        QCOMPARE(box.paints, before + 1); // repainted at once, not queued
        QCOMPARE(box.grab().toImage().pixelColor(box.width() - 1, box.height() - 1), QColor(16, 16, 16));
    }

    void staticToggles()
    {
        CSkinStatic surface;
        surface.resize(40, 40);
        surface.show();
        QTest::mouseClick(&surface, Qt::LeftButton);
        QVERIFY(!surface.isOn());
        surface.setToggling(true);
        QTest::mouseClick(&surface, Qt::LeftButton);
        QVERIFY(surface.isOn());
        QTest::mouseClick(&surface, Qt::LeftButton);
        QVERIFY(!surface.isOn());
    }
};

QTEST_MAIN(TestSkinControls)
#include "tst_skincontrols.moc"
