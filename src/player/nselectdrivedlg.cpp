#include "nselectdrivedlg.h"

#include "skinbutton.h"
#include "skincombobox.h"
#include "windowregistry.h"

#include <QPainter>

namespace {

// The button bitmaps are the settings window's buttons of the same sizes (65 x 28 and
// 158 x 36): normal, hover, pressed.
constexpr int kCloseBitmaps[3] = {158, 158, 160};
constexpr int kCheckBitmaps[3] = {163, 161, 162};

constexpr QRect kSourceListRect(110, 90, 240, 30);

} // namespace

CNSelectDriveDlg::CNSelectDriveDlg(std::vector<DriveEntry> &driveList, const QString &pcFolderLabel, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), drives(driveList)
{
    setObjectName(QStringLiteral("CNSelectDriveDlg"));
    setAttribute(Qt::WA_OpaquePaintEvent);

    combo = new CSkinComboBox(this);
    combo->setObjectName(QStringLiteral("sourceList"));
    combo->setGeometry(kSourceListRect);
    closeBtn = createSkinButton(this, QStringLiteral("Close"), IDC_CLOSE, 382, 8, 65, 28, kCloseBitmaps[0],
                                kCloseBitmaps[1], kCloseBitmaps[2]);
    checkBtn = createSkinButton(this, QStringLiteral("Check"), IDC_CHECK, 143, 130, 158, 36, kCheckBitmaps[0],
                                kCheckBitmaps[1], kCheckBitmaps[2]);

    // The list is rebuilt on every opening, so a card inserted since the last time shows.
    enumerateDrives(pcFolderLabel, drives);
    for (const DriveEntry &entry : drives)
        combo->addItem(driveListText(entry));
    combo->setCurrentIndex(0);

    setFixedSize(kWidth, kHeight);
    centreOnMainWindow();
}

void CNSelectDriveDlg::centreOnMainWindow()
{
    const QWidget *main = WindowRegistry::Get().Find(IDD_MAIN);
    if (!main)
        return;
    const QRect frame = main->geometry();
    move(frame.x() + (frame.width() - kWidth) / 2, frame.y() + (frame.height() - kHeight) / 2);
}

bool CNSelectDriveDlg::event(QEvent *e)
{
    if (e->type() != AppMessage::eventType())
        return QDialog::event(e);
    auto *msg = static_cast<AppMessage *>(e);
    msg->result = msg->message == WM_PLAYER_COMMAND ? onPlayerCommand(msg->wParam) : -1;
    return true;
}

LRESULT CNSelectDriveDlg::onPlayerCommand(WPARAM id)
{
    switch (id) {
    case IDC_CHECK:
        selected = combo->currentIndex();
        accept();
        return 0;
    case IDC_CLOSE:
        reject();
        return 0;
    default:
        return -1;
    }
}

void CNSelectDriveDlg::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
}
