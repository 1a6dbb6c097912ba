// Keeps the viewer to one running instance per user: the first instance listens on a local
// socket named after the program; a later one asks it to come forward and ends.
#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

class SingleInstance : public QObject
{
    Q_OBJECT
public:
    // The server name "MERIDO Viewer", placed in the user's runtime folder when there is one
    // so that two users on one machine do not shut each other out.
    static QString defaultServerName();

    explicit SingleInstance(const QString &serverName = defaultServerName(), QObject *parent = nullptr);

    // True when this process is now the only instance (it listens from here on); false when
    // another instance answered, which has been asked to show its window.
    bool claim();

Q_SIGNALS:
    // A later instance started: bring the main window forward.
    void activationRequested();

private:
    bool askRunningInstance();

    QString serverName;
    QLocalServer *server = nullptr;
};
