// The window registry: replacement, destroyed windows, posting.
#include "appmessages.h"
#include "windowregistry.h"

#include <QApplication>
#include <QTest>

namespace {

// Records the application messages it receives.
class Receiver : public QWidget
{
public:
    QList<std::pair<unsigned, WPARAM>> received;

protected:
    bool event(QEvent *e) override
    {
        if (e->type() != AppMessage::eventType())
            return QWidget::event(e);
        const auto *msg = static_cast<AppMessage *>(e);
        received.append({msg->message, msg->wParam});
        return true;
    }
};

} // namespace

class TestWindowRegistry : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { WindowRegistry::Get().clear(); }

    void registerReplacesSameId()
    {
        WindowRegistry &registry = WindowRegistry::Get();
        Receiver first, second, other;
        registry.Register(IDD_MAP, &first);
        registry.Register(IDD_FILE_LIST, &other);
        registry.Register(IDD_MAP, &second);
        QCOMPARE(registry.Find(IDD_MAP), &second);
        QCOMPARE(registry.Find(IDD_FILE_LIST), &other);
        QCOMPARE(registry.entryCount(), 2);
        QCOMPARE(registry.Find(IDD_SCREEN1), nullptr);
    }

    void destroyedWindowIsDropped()
    {
        WindowRegistry &registry = WindowRegistry::Get();
        auto *window = new Receiver;
        registry.Register(IDD_SCREEN2, window);
        delete window;
        QCOMPARE(registry.entryCount(), 1);
        QCOMPARE(registry.Find(IDD_SCREEN2), nullptr);
        QCOMPARE(registry.entryCount(), 0);
        registry.Post(IDD_SCREEN2, WM_PLAYER_NOTIFY, NotifyReset); // nothing to deliver to
        QCoreApplication::processEvents();
    }

    void postIsAsynchronous()
    {
        WindowRegistry &registry = WindowRegistry::Get();
        Receiver panel;
        registry.Register(IDD_CONTROL_PANEL, &panel);
        registry.Post(IDD_CONTROL_PANEL, WM_PLAYER_NOTIFY, NotifyPlaySelected);
        registry.Post(IDD_INFO_PANEL, WM_PLAYER_NOTIFY, NotifyPlaying); // not registered
        QVERIFY(panel.received.isEmpty());
        QCoreApplication::processEvents();
        QCOMPARE(panel.received, (QList<std::pair<unsigned, WPARAM>>{{WM_PLAYER_NOTIFY, NotifyPlaySelected}}));
    }

    void sendAnswersAtOnce()
    {
        Receiver target;
        QCOMPARE(sendAppMessage(nullptr, WM_PLAYER_COMMAND, 16), LRESULT(-1));
        QCOMPARE(sendAppMessage(&target, WM_PLAYER_COMMAND, 16), LRESULT(0));
        QCOMPARE(target.received.size(), 1);
    }
};

QTEST_MAIN(TestWindowRegistry)
#include "tst_windowregistry.moc"
