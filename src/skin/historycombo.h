// An editable drop-down that remembers its entries in the settings store as a numbered
// list ("<prefix>0000", "<prefix>0001", ...; most recent first) plus the last accepted text.
#pragma once

#include <QComboBox>

class QSettings;

class CHistoryCombo : public QComboBox
{
    Q_OBJECT
public:
    explicit CHistoryCombo(QWidget *parent = nullptr);

    void SetMaxHistoryItems(int count) { maxItems = count; }
    // List only entries that name an existing folder.
    void SetCheckAccess(bool check) { checkAccess = check; }
    void SetDropSize(int items) { setMaxVisibleItems(items); }

    // Reads the history of `section`; returns the last accepted text (may be empty).
    QString LoadHistory(QSettings &settings, const QString &section, const QString &prefix,
                        const QString &lastEntryName = QString());
    // Puts the field's text at the top (once), trims the list, writes it back and deletes
    // stale numbered values that follow.
    void SaveHistory(QSettings &settings);

    QStringList historyItems() const;
    QString lastEntryValueName() const;

    static QString indexedName(const QString &prefix, int index);

private:
    QString section;
    QString prefix;
    QString entryName;   // configured last-entry name; empty means "the prefix"
    int maxItems = 100;
    bool checkAccess = false;
};
