#include "historycombo.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QSettings>

namespace {
// Written values may run one past the list, as the store has always allowed.
constexpr int kMaxWritten = 51;
// Stale numbered values are deleted up to this index at the most.
constexpr int kLastIndexChecked = 999;
} // namespace

CHistoryCombo::CHistoryCombo(QWidget *parent) : QComboBox(parent)
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setMaxVisibleItems(10);
}

QString CHistoryCombo::indexedName(const QString &name, int index)
{
    return name + QStringLiteral("%1").arg(index, 4, 10, QLatin1Char('0'));
}

QString CHistoryCombo::lastEntryValueName() const
{
    if (!entryName.isEmpty())
        return entryName;
    if (!prefix.isEmpty())
        return prefix;
    return QStringLiteral("Last");
}

QStringList CHistoryCombo::historyItems() const
{
    QStringList items;
    for (int i = 0; i < count(); ++i)
        items << itemText(i);
    return items;
}

QString CHistoryCombo::LoadHistory(QSettings &settings, const QString &sectionName, const QString &valuePrefix,
                                   const QString &lastEntryName)
{
    section = sectionName;
    prefix = valuePrefix;
    entryName = lastEntryName;
    clear();
    settings.beginGroup(section);
    for (int i = 0; i < maxItems; ++i) {
        const QString value = settings.value(indexedName(prefix, i)).toString();
        if (value.isEmpty())
            break;
        if (!checkAccess || QFileInfo(value).isDir())
            addItem(value);
    }
    const QString last = settings.value(lastEntryValueName()).toString();
    settings.endGroup();
    if (!last.isEmpty()) {
        const int found = findText(last, Qt::MatchExactly);
        if (found >= 0)
            setCurrentIndex(found);
        else
            setEditText(last);
    }
    return last;
}

void CHistoryCombo::SaveHistory(QSettings &settings)
{
    const QString text = currentText().trimmed();
    if (!text.isEmpty()) {
        insertItem(0, text);
        for (int i = count() - 1; i > 0; --i)
            if (itemText(i) == text)
                removeItem(i);
        while (count() > maxItems)
            removeItem(count() - 1);
        setCurrentIndex(0);
    }
    settings.beginGroup(section);
    const int written = std::min(count(), kMaxWritten);
    for (int i = 0; i < written; ++i)
        settings.setValue(indexedName(prefix, i), itemText(i));
    for (int i = written; i <= kLastIndexChecked; ++i) {
        const QString name = indexedName(prefix, i);
        if (settings.value(name).toString().isEmpty())
            break;
        settings.remove(name);
    }
    settings.setValue(lastEntryValueName(), currentText());
    settings.endGroup();
    settings.sync();
}
