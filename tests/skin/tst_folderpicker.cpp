// The folder picker and its history against a real settings file in a temporary folder.
#include "historycombo.h"
#include "xfolderdialog.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Records the validation messages instead of showing them.
class Picker : public CXFolderDialog
{
public:
    using CXFolderDialog::CXFolderDialog;
    QStringList messages;

protected:
    void showMessage(const QString &text) override { messages << text; }
};

} // namespace

class TestFolderPicker : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> root;
    std::unique_ptr<QSettings> settings;

    QString folder(const QString &name)
    {
        const QString path = root->filePath(name);
        QDir().mkpath(path);
        return path;
    }

    QStringList storedHistory()
    {
        QStringList values;
        settings->beginGroup(QStringLiteral("FolderHistory"));
        for (const QString &key : settings->childKeys())
            if (key != QLatin1String("Folder"))
                values << key + QLatin1Char('=') + settings->value(key).toString();
        settings->endGroup();
        return values;
    }

    // Opens a picker on `start`, types `text` into the folder field (unless null) and OKs.
    QString accept(const QString &start, const QString &text, QStringList *messages = nullptr,
                   QStringList *listed = nullptr)
    {
        Picker picker(start, nullptr, settings.get());
        picker.show();
        if (!text.isNull())
            picker.historyCombo()->setEditText(text);
        picker.accept();
        if (messages)
            *messages = picker.messages;
        if (listed)
            *listed = picker.historyCombo()->historyItems();
        return picker.result() == QDialog::Accepted ? picker.GetPath() : QString();
    }

private Q_SLOTS:
    void init()
    {
        root = std::make_unique<QTemporaryDir>();
        settings = std::make_unique<QSettings>(root->filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
    }

    void okWithoutChangeTakesBrowsedFolder()
    {
        const QString browsed = folder(QStringLiteral("cards/front"));
        QCOMPARE(accept(browsed, QString()), browsed);
        settings->sync();
        QCOMPARE(storedHistory(), QStringList{"Folder0000=" + browsed});
        QCOMPARE(settings->value(QStringLiteral("FolderHistory/Folder")).toString(), browsed);
    }

    void historyItemNavigates()
    {
        const QString a = folder(QStringLiteral("a")), b = folder(QStringLiteral("b"));
        Picker picker(a, nullptr, settings.get());
        picker.show();
        Q_EMIT picker.historyCombo()->textActivated(b);
        QCOMPARE(picker.historyCombo()->currentText(), b);
        picker.accept();
        QCOMPARE(picker.GetPath(), b);
    }

    void chosenThirdMovesToTop()
    {
        const QString a = folder(QStringLiteral("a")), b = folder(QStringLiteral("b")), c = folder(QStringLiteral("c"));
        for (const QString &f : {c, b, a})
            accept(f, QString());
        QStringList listed;
        accept(a, c, nullptr, &listed);
        QCOMPARE(listed, (QStringList{c, a, b}));
        QCOMPARE(storedHistory(), (QStringList{"Folder0000=" + c, "Folder0001=" + a, "Folder0002=" + b}));
    }

    void keepsFiftyAndDeletesStaleValues()
    {
        // Values left by an older run beyond what will be written.
        for (int i = 50; i < 56; ++i)
            settings->setValue(QStringLiteral("FolderHistory/Folder%1").arg(i, 4, 10, QLatin1Char('0')),
                               QStringLiteral("/gone/%1").arg(i));
        QString last;
        for (int i = 0; i < 60; ++i)
            last = accept(folder(QStringLiteral("f%1").arg(i)), QString());
        QStringList listed;
        accept(last, QString(), nullptr, &listed);
        QCOMPARE(listed.size(), 50);
        QCOMPARE(listed.front(), last);
        QCOMPARE(listed.back(), root->filePath(QStringLiteral("f10")));
        const QStringList stored = storedHistory();
        QCOMPARE(stored.size(), 50);
        QVERIFY(stored.back().startsWith(QStringLiteral("Folder0049=")));
    }

    void missingFoldersAreNotListed()
    {
        const QString kept = folder(QStringLiteral("kept"));
        const QString removed = folder(QStringLiteral("removed"));
        accept(kept, QString());
        accept(removed, QString());
        QDir(removed).removeRecursively();
        Picker picker(kept, nullptr, settings.get());
        QCOMPARE(picker.historyCombo()->historyItems(), QStringList{kept});
        QCOMPARE(storedHistory().size(), 2); // still stored until the next OK rewrites it
    }

    void validation_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty") << QString() << QStringLiteral("Please select a folder.");
        QTest::newRow("blanks") << QStringLiteral("   ") << QStringLiteral("Please select a folder.");
        QTest::newRow("missing") << QStringLiteral("/no/such/folder")
                                 << QStringLiteral("The folder '/no/such/folder' isn't accessible.");
    }
    void validation()
    {
        QFETCH(QString, typed);
        QFETCH(QString, message);
        QStringList messages;
        QCOMPARE(accept(folder(QStringLiteral("start")), typed.isNull() ? QStringLiteral("") : typed, &messages),
                 QString());
        QCOMPARE(messages, QStringList{message});
        QVERIFY(storedHistory().isEmpty());
    }

    void defaults()
    {
        Picker picker(folder(QStringLiteral("x")), nullptr, settings.get());
        QCOMPARE(picker.windowTitle(), QStringLiteral("Select Folder"));
        QCOMPARE(picker.historyCombo()->maxVisibleItems(), 20);
        QCOMPARE(picker.historyCombo()->lastEntryValueName(), QStringLiteral("Folder"));
    }
};

QTEST_MAIN(TestFolderPicker)
#include "tst_folderpicker.moc"
