#include "exportpaths.h"

#include <QDir>

QString exportOutputPath(const QString &saveLocation, const QByteArray &nameNarrow)
{
    QString name = QString::fromUtf8(nameNarrow);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot >= 0)
        name.truncate(dot);
    name.replace(QLatin1Char('/'), QLatin1Char('_')).replace(QLatin1Char('\\'), QLatin1Char('_'));
    name.remove(QChar(0));
    bool onlyDots = true;
    for (QChar c : name)
        onlyDots &= c == QLatin1Char('.');
    if (onlyDots)
        name = QStringLiteral("recording");
    return QDir(saveLocation).filePath(name + QStringLiteral(".avi"));
}

bool ConfigClm::open(const QString &folder)
{
    location.clear();
    file.close();
    file.setFileName(QDir(folder).filePath(QStringLiteral("config.clm")));
    if (!file.open(QIODevice::ReadWrite))
        return false;
    const QByteArray data = file.read(kFileBytes);
    QString text;
    for (qsizetype i = 0; i + 1 < data.size(); i += 2) {
        const char16_t unit = char16_t(uint8_t(data[i]) | uint8_t(data[i + 1]) << 8);
        if (unit == 0)
            break;
        text.append(QChar(unit));
    }
    location = text;
    return true;
}

bool ConfigClm::store(const QString &path)
{
    if (!file.isOpen() || (path.size() + 1) * 2 > kFileBytes)
        return false;
    QByteArray data(kFileBytes, '\0');
    for (qsizetype i = 0; i < path.size(); ++i) {
        const char16_t unit = path[i].unicode();
        data[2 * i] = char(unit & 0xFF);
        data[2 * i + 1] = char(unit >> 8);
    }
    if (!file.seek(0) || file.write(data) != kFileBytes || !file.flush())
        return false;
    location = path;
    return true;
}
