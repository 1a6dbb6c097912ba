#include "qz_nplayerdlg.h"

#include "filterprobe.h"
#include "playercontext.h"
#include "skinbutton.h"
#include "skinresources.h"
#include "windowregistry.h"
#include "xfolderdialog.h"

#include <QEventLoop>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimerEvent>
#include <QWindow>

namespace {

struct TitleButtonRow {
    int id;
    const char *caption;
    int x; // in the default screen mode
    int normal, hover, pressed;
};

// Index order is fixed: the screen modes place the buttons by index.
constexpr std::array<TitleButtonRow, CQZ_NPlayerDlg::kTitleButtonCount> kTitleButtons{{
    {CQZ_NPlayerDlg::IDC_CLOSE, "Close", 790, 218, 219, 219},
    {CQZ_NPlayerDlg::IDC_FULL_SCREEN, "Full Screen", 765, 205, 206, 206},
    {CQZ_NPlayerDlg::IDC_FIT_SCREEN, "Fit Screen", 740, 203, 204, 204},
    {CQZ_NPlayerDlg::IDC_MINIMIZE, "Minimization", 715, 207, 224, 224},
    {CQZ_NPlayerDlg::IDC_DEFAULT_SCREEN, "Default Screen", 715, 252, 253, 253},
    {CQZ_NPlayerDlg::IDC_FILE_LIST, "File list", 690, 201, 202, 202},
    {CQZ_NPlayerDlg::IDC_MAP, "Map", 665, 245, 246, 246},
}};

constexpr int kButtonSize = 20;
constexpr int kCreateY = 2; // where the buttons are created
constexpr int kPlaceY = 4;  // where every later layout puts them
constexpr int kDefaultScreenIndex = 4;
constexpr int kFileListIndex = 5;
constexpr int kMapIndex = 6;

constexpr QColor kBackground(16, 16, 16);
constexpr QColor kTitleColor(220, 220, 220);
constexpr QRect kTitleRect(15, 6, 320 - 15, 21 - 6); // (15, 6)-(320, 21), right and bottom exclusive
constexpr const char *kTitleText = "MERIDO 3Ch Viewer    version 1.0.0J";

} // namespace

CQZ_NPlayerDlg::CQZ_NPlayerDlg(QWidget *parent, const std::function<bool()> &ensureFilters)
    : QDialog(parent, Qt::Window | Qt::FramelessWindowHint)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(kWidth, kHeight);
    centreOnScreen();
    WindowRegistry::Get().Register(IDD_MAIN, this);
    // The PC-folder source asks through the folder picker over the main window. A cancelled
    // picker selects nothing, rather than the folder it was last showing.
    RecordingCatalogue &catalogue = PlayerContext::Get().catalogue;
    catalogue.ownerWindow = this;
    catalogue.folderPicker = [this] {
        CXFolderDialog picker(QString(), this);
        picker.SetTitle(PlayerContext::Get().catalogue.folderPrompt);
        picker.SetViewMode(0, true);
        return picker.DoModal() == 1 ? picker.GetPath() : QString();
    };

    for (size_t i = 0; i < kTitleButtons.size(); ++i) {
        const TitleButtonRow &row = kTitleButtons[i];
        titleButtons[i] = createSkinButton(this, QString::fromLatin1(row.caption), row.id, row.x, kCreateY, kButtonSize,
                                           kButtonSize, row.normal, row.hover, row.pressed);
    }
    titleButtons[kDefaultScreenIndex]->hide();

    filtersReady = ensureFilters ? ensureFilters() : playback::EnsureFilters();

    setWindowIcon(QIcon(ownBitmap(128)));
    setWindowTitle(QStringLiteral("ZIRP Viewer"));
}

CQZ_NPlayerDlg::~CQZ_NPlayerDlg()
{
    // Title buttons first; the player windows follow in their fixed order once they exist.
    for (CSkinButton *&button : titleButtons) {
        delete button;
        button = nullptr;
    }
}

int CQZ_NPlayerDlg::DoModal()
{
    if (!filtersReady) {
        QMessageBox box(QMessageBox::NoIcon, windowTitle(), QStringLiteral("Not Find QZ filter"), QMessageBox::Ok);
        box.exec();
        return QDialog::Accepted;
    }
    QEventLoop loop;
    connect(this, &QDialog::finished, &loop, &QEventLoop::exit);
    showTimer.start(kShowDelayMs, this);
    return loop.exec();
}

void CQZ_NPlayerDlg::bringToFront()
{
    if (isMinimized())
        showNormal();
    show();
    raise();
    activateWindow();
}

void CQZ_NPlayerDlg::centreOnScreen()
{
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
}

bool CQZ_NPlayerDlg::event(QEvent *e)
{
    if (e->type() != AppMessage::eventType())
        return QDialog::event(e);
    auto *msg = static_cast<AppMessage *>(e);
    switch (msg->message) {
    case WM_PLAYER_COMMAND:
        msg->result = onPlayerCommand(msg->wParam);
        break;
    case WM_MODAL_STATE:
        setEnabled(msg->wParam != 0);
        break;
    default:
        break; // WM_PLAYER_NOTIFY and the rest are not for the main window
    }
    return true;
}

LRESULT CQZ_NPlayerDlg::onPlayerCommand(WPARAM id)
{
    switch (id) {
    case IDC_CLOSE:
        done(QDialog::Accepted);
        return 0;
    case IDC_FULL_SCREEN:
        enterScreenMode(ScreenModeFull);
        return 0;
    case IDC_FIT_SCREEN:
        enterScreenMode(ScreenModeFit);
        return 0;
    case IDC_MINIMIZE:
        showMinimized();
        return 0;
    case IDC_DEFAULT_SCREEN:
        returnToDefaultMode();
        return 0;
    case IDC_MAP:
        WindowRegistry::Get().Post(IDD_MAP, WM_PLAYER_NOTIFY, NotifyToggleMap);
        return 0;
    case IDC_FILE_LIST:
        WindowRegistry::Get().Post(IDD_FILE_LIST, WM_PLAYER_NOTIFY, NotifyToggleFileList);
        return 0;
    default:
        return -1;
    }
}

void CQZ_NPlayerDlg::enterScreenMode(int targetMode)
{
    PlayerContext &context = PlayerContext::Get();
    if (context.screenMode == targetMode)
        return;
    const QScreen *screen = QGuiApplication::primaryScreen();
    const QSize size = screen ? screen->geometry().size() : QSize(kWidth, kHeight);
    const int cx = size.width();
    setGeometry(0, 0, cx, size.height());
    show();

    for (int index = 0; index < 4; ++index)
        titleButtons[size_t(index)]->setGeometry(cx - 30 - 25 * index, kPlaceY, kButtonSize, kButtonSize);
    titleButtons[kFileListIndex]->setGeometry(cx - 130, kPlaceY, kButtonSize, kButtonSize);
    titleButtons[kMapIndex]->setGeometry(cx - 155, kPlaceY, kButtonSize, kButtonSize);
    for (CSkinButton *button : titleButtons)
        button->show();
    // The button of the current mode disappears; "Default Screen" takes its place, and the
    // other mode's button stays so the user can switch between the two directly.
    const bool full = targetMode == ScreenModeFull;
    titleButtons[full ? 1 : 2]->hide();
    titleButtons[kDefaultScreenIndex]->setGeometry(full ? cx - 55 : cx - 80, kPlaceY, kButtonSize, kButtonSize);

    context.screenMode = targetMode;
    update();
}

void CQZ_NPlayerDlg::returnToDefaultMode()
{
    PlayerContext &context = PlayerContext::Get();
    if (context.screenMode == ScreenModeDefault)
        return;
    context.screenMode = ScreenModeDefault;
    hide();
    resize(kWidth, kHeight);
    centreOnScreen();
    placeTitleButtonsDefault();
    show();
    update();
}

void CQZ_NPlayerDlg::placeTitleButtonsDefault()
{
    for (size_t i = 0; i < titleButtons.size(); ++i) {
        titleButtons[i]->setGeometry(kTitleButtons[i].x, kPlaceY, kButtonSize, kButtonSize);
        titleButtons[i]->setVisible(int(i) != kDefaultScreenIndex);
    }
}

void CQZ_NPlayerDlg::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), kBackground);
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(9);
    font.setWeight(QFont::Normal);
    painter.setFont(font);
    painter.setPen(kTitleColor);
    painter.drawText(kTitleRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, QString::fromLatin1(kTitleText));
}

void CQZ_NPlayerDlg::keyPressEvent(QKeyEvent *event)
{
    // Enter and Escape end the run like the dialog's OK and Cancel, and so the program.
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        done(QDialog::Accepted);
        return;
    case Qt::Key_Escape:
        done(QDialog::Rejected);
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

void CQZ_NPlayerDlg::mousePressEvent(QMouseEvent *event)
{
    // In the default mode the whole window acts as its caption.
    if (event->button() != Qt::LeftButton || PlayerContext::Get().screenMode != ScreenModeDefault)
        return QDialog::mousePressEvent(event);
    if (windowHandle() && windowHandle()->startSystemMove())
        return;
    // No window manager to move us (or it refused): follow the mouse ourselves.
    manualDrag = true;
    dragOffset = event->globalPosition().toPoint() - frameGeometry().topLeft();
}

void CQZ_NPlayerDlg::mouseMoveEvent(QMouseEvent *event)
{
    if (manualDrag && (event->buttons() & Qt::LeftButton))
        move(event->globalPosition().toPoint() - dragOffset);
    else
        QDialog::mouseMoveEvent(event);
}

void CQZ_NPlayerDlg::mouseReleaseEvent(QMouseEvent *event)
{
    manualDrag = false;
    QDialog::mouseReleaseEvent(event);
}

void CQZ_NPlayerDlg::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != showTimer.timerId())
        return QDialog::timerEvent(event);
    showTimer.stop();
    show();
}
