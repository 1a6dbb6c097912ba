#include "xfolderdialog.h"

#include "historycombo.h"

#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QSettings>

#include <cstring>
#include <unistd.h>

namespace {
constexpr const char *kHistorySection = "FolderHistory";
constexpr const char *kHistoryPrefix = "Folder";
constexpr const char *kViewSection = "XFolderDialog/ViewMode";
} // namespace

CXFolderDialog::CXFolderDialog(const QString &initialFolder, QWidget *parent, QSettings *store)
    : QFileDialog(parent), settings(store)
{
    setOption(QFileDialog::DontUseNativeDialog);
    setFileMode(QFileDialog::Directory);
    setNameFilter(QStringLiteral("Files (*.mp4)"));
    setWindowTitle(QStringLiteral("Select Folder"));
    setDirectory(initialFolder.isEmpty() ? QDir::homePath() : initialFolder);

    // The standard file-name and file-type rows give way to the folder-name field.
    auto *grid = qobject_cast<QGridLayout *>(layout());
    int row = 2, column = 0, rowSpan = 1, columnSpan = 1;
    for (const char *name : {"fileNameLabel", "fileNameEdit", "fileTypeCombo", "fileTypeLabel"}) {
        if (QWidget *standard = findChild<QWidget *>(QLatin1String(name))) {
            if (grid && !std::strcmp(name, "fileNameEdit") && grid->indexOf(standard) >= 0)
                grid->getItemPosition(grid->indexOf(standard), &row, &column, &rowSpan, &columnSpan);
            standard->hide();
        }
    }
    label = new QLabel(QStringLiteral("Folder &name:"), this);
    history = new CHistoryCombo(this);
    label->setBuddy(history);
    if (grid) {
        grid->addWidget(label, row, 0);
        grid->addWidget(history, row, 1, 1, columnSpan);
    }

    history->SetMaxHistoryItems(kMaxHistory);
    history->SetCheckAccess(true);
    history->SetDropSize(kDropItems);
    history->LoadHistory(this->store(), QLatin1String(kHistorySection), QLatin1String(kHistoryPrefix));
    if (history->count() > 0)
        history->setEditText(history->itemText(0));
    history->lineEdit()->installEventFilter(this);

    connect(this, &QFileDialog::directoryEntered, this, &CXFolderDialog::followBrowser);
    connect(this, &QFileDialog::currentChanged, this, &CXFolderDialog::followBrowser);
    connect(history, &QComboBox::textActivated, this, [this](const QString &text) { navigateTo(text, false); });
    followBrowser(); // the field shows the folder being browsed from the start
}

CXFolderDialog::~CXFolderDialog() = default;

QSettings &CXFolderDialog::store()
{
    if (!settings) {
        ownSettings = std::make_unique<QSettings>();
        settings = ownSettings.get();
    }
    return *settings;
}

void CXFolderDialog::SetTitle(const QString &title)
{
    setWindowTitle(title.isEmpty() ? QStringLiteral("Select Folder") : title);
}

void CXFolderDialog::SetViewMode(int mode, bool persist)
{
    viewModeToApply = mode;
    persistViewMode = persist;
}

int CXFolderDialog::DoModal()
{
    return exec() == QDialog::Accepted ? 1 : 2;
}

void CXFolderDialog::followBrowser()
{
    if (firstFolderChange) {
        firstFolderChange = false;
        if (persistViewMode && viewModeToApply == 0)
            setViewMode(QFileDialog::ViewMode(store().value(QLatin1String(kViewSection), 0).toInt() == 1
                                                  ? QFileDialog::List
                                                  : QFileDialog::Detail));
    }
    chosenFolder = directory().absolutePath();
    shownFolder = chosenFolder;
    history->setEditText(chosenFolder);
}

void CXFolderDialog::navigateTo(const QString &path, bool choose)
{
    if (!QFileInfo(path).isDir())
        return;
    setDirectory(path);
    followBrowser();
    if (choose)
        chosenFolder = path;
}

bool CXFolderDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == history->lineEdit() && event->type() == QEvent::FocusOut &&
        history->currentText() != shownFolder)
        navigateTo(history->currentText().trimmed(), true);
    return QFileDialog::eventFilter(watched, event);
}

void CXFolderDialog::showMessage(const QString &text)
{
    QMessageBox::warning(this, windowTitle(), text);
}

void CXFolderDialog::accept()
{
    // A folder selected in the browser wins over the field while the field still shows
    // what the browser put there; text the user typed wins otherwise.
    const QString typed = history->currentText().trimmed();
    QString path = typed;
    if (typed == shownFolder) {
        const QStringList selected = selectedFiles();
        if (!selected.isEmpty() && QFileInfo(selected.front()).isDir())
            path = selected.front();
    }
    if (path.isEmpty()) {
        showMessage(QStringLiteral("Please select a folder."));
        return;
    }
    if (::access(QFile::encodeName(path).constData(), F_OK) != 0) {
        showMessage(QStringLiteral("The folder '%1' isn't accessible.").arg(path));
        return;
    }
    chosenFolder = path;
    history->setEditText(path);
    history->SaveHistory(store());
    QFileDialog::done(QDialog::Accepted);
}

void CXFolderDialog::done(int result)
{
    if (persistViewMode)
        store().setValue(QLatin1String(kViewSection), viewMode() == QFileDialog::List ? 1 : 0);
    QFileDialog::done(result);
}
