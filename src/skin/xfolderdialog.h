// Chooses a folder on the PC (the PC-folder source of recordings): a folder browser whose
// file-name field is replaced by a "Folder name" field with a remembered history. The field
// always shows the folder being browsed, so OK without a change accepts that folder.
#pragma once

#include <QFileDialog>

#include <memory>

class CHistoryCombo;
class QLabel;
class QSettings;

class CXFolderDialog : public QFileDialog
{
    Q_OBJECT
public:
    static constexpr int kMaxHistory = 50;
    static constexpr int kDropItems = 20;

    // `settings` is the per-user store (null: the program's own); not owned.
    explicit CXFolderDialog(const QString &initialFolder = QString(), QWidget *parent = nullptr,
                            QSettings *settings = nullptr);
    ~CXFolderDialog() override;

    void SetTitle(const QString &title);
    // 0 takes the stored view mode; persistence writes it back on closing.
    void SetViewMode(int mode, bool persist);
    // Runs the dialog; 1 for OK, 2 for cancel.
    int DoModal();
    // The chosen folder: the result, also after a cancel.
    QString GetPath() const { return chosenFolder; }

    CHistoryCombo *historyCombo() const { return history; }

public Q_SLOTS:
    void accept() override;
    void done(int result) override;

protected:
    // The two validation messages; a window of its own in the program.
    virtual void showMessage(const QString &text);
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void followBrowser();
    void navigateTo(const QString &path, bool choose);
    QSettings &store();

    QString chosenFolder;
    QString shownFolder; // what followBrowser() last put into the field
    CHistoryCombo *history = nullptr;
    QLabel *label = nullptr;
    QSettings *settings;
    std::unique_ptr<QSettings> ownSettings;
    int viewModeToApply = 0;
    bool persistViewMode = false;
    bool firstFolderChange = true;
};
