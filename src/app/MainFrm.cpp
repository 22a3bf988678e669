#include "app/MainFrm.h"
#include "app/Version.h"
#include "ui_MainFrm.h"

#include "app/CartPage.h"
#include "app/CommandLine.h"
#include "app/LoginFrm.h"
#include "cart/uOrderBrowser.h"
#include "folder/FolderPage.h"
#include "notices/NoticeWindows.h"
#include "notices/WebView.h"
#include "notices/uAutoBJFrm.h"
#include "ui/AppFonts.h"
#include "ui/AppTitle.h"
#include "ui/DialogKeys.h"
#include "ui/ErrorDisplay.h"
#include "ui/Icons.h"
#include "ui/ModalResult.h"
#include "ui/PlainMessage.h"
#include "upload/UploadThumbnails.h"
#include "util/ControlCharacters.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QMessageBox>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>

#include <memory>

namespace {

constexpr int OuterWidth = 1024;
constexpr int OuterHeight = 731;

// The main window is a plain top-level widget, which Qt exposes as a filler ("client"); a
// screen reader announces it as the program's window.
QAccessibleInterface *MainWindowAccessible(const QString &ClassName, QObject *Object)
{
    if (ClassName == QLatin1String("TfrmMain") && Object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget *>(Object), QAccessible::Window);
    return nullptr;
}

} // namespace

TfrmMain::TfrmMain(const QStringList &Arguments, QWidget *Parent)
    : QWidget(Parent)
    , ui(std::make_unique<Ui::TfrmMain>())
{
    static const bool windowRole = [] {
        QAccessible::installFactory(MainWindowAccessible);
        return true;
    }();
    Q_UNUSED(windowRole);
    ui->setupUi(this);
    setWindowTitle(QStringLiteral("케스트런 브림베일 " KB_VERSION));
    setFont(GulimFont(11));
    resize(OuterWidth, OuterHeight);

    ui->pcMain->setTabIcon(FolderPageIndex, ImageList1(KbIcon::AddPhotos));
    ui->pcMain->setTabIcon(CartPageIndex, ImageList1(KbIcon::WaitingList));

    const struct
    {
        QToolButton *Button;
        KbIcon Icon;
        void (TfrmMain::*Handler)();
    } buttons[] = {
        {ui->btnSelectAll, KbIcon::SelectAll, &TfrmMain::btnSelectAllClick},
        {ui->btnDeselecteAll, KbIcon::Deselect, &TfrmMain::btnDeselecteAllClick},
        {ui->btnAddToList, KbIcon::PutOnList, &TfrmMain::btnAddToListClick},
        {ui->btnCartView, KbIcon::WaitingList, &TfrmMain::btnCartViewClick},
        {ui->btnInitialize, KbIcon::ResetChoices, &TfrmMain::btnInitializeClick},
        {ui->btnClear, KbIcon::EmptyList, &TfrmMain::btnClearClick},
        {ui->btnFolderView, KbIcon::AddPhotos, &TfrmMain::btnFolderViewClick},
        {ui->btnUpload, KbIcon::OrderPhotos, &TfrmMain::btnUploadClick},
    };
    for (const auto &b : buttons) {
        b.Button->setIcon(ImageList1(b.Icon));
        // Reached by Tab, pressed by Space or Enter.
        b.Button->setFocusPolicy(Qt::TabFocus);
        PressOnEnter(*b.Button);
        connect(b.Button, &QToolButton::clicked, this,
            [this, handler = b.Handler] { RunHandler([&] { (this->*handler)(); }); });
    }

    ui->FolderSplitter->setSizes({185, OuterWidth - 185});
    ui->FolderSplitter->setStretchFactor(1, 1);

    m_cartPage = new TCartPage(ui->BatchPanel, ui->OrderBrowserPanel, this, this);
    connect(m_cartPage, &TCartPage::WaitStarted, this, &TfrmMain::ShowWaitPanel);
    connect(m_cartPage, &TCartPage::WaitEnded, this, &TfrmMain::HideWaitPanel);
    connect(m_cartPage, &TCartPage::PageWanted, this,
        [this] { ui->pcMain->setCurrentIndex(CartPageIndex); });
    connect(m_cartPage, &TCartPage::OrderCompleted, qApp, &QCoreApplication::quit);
    // The upload's thumbnails are drawn while the customer sets his prints, not while he waits.
    connect(m_cartPage->OrderBrowser(), &TOrderBrowser::PhotoAdded, this,
        [](const QString &FileName) { UploadThumbnails::Shared().Prepare(FileName); });
    connect(m_cartPage->OrderBrowser(), &TOrderBrowser::PhotoRemoved, this,
        [](const QString &FileName) { UploadThumbnails::Shared().Forget(FileName); });

    m_folderPage = new TFolderPage(ui->FolderTreePanel, ui->FolderGridPanel, ui->CartPage, this);
    connect(m_folderPage, &TFolderPage::PhotosChosen, this,
        [this](const QStringList &Paths) { putOnWaitingList(Paths); });
    connect(m_folderPage, &TFolderPage::ProgressChanged, this, [this](int Percentage) {
        ui->ggProgress->setMaximum(100);
        ui->ggProgress->setValue(Percentage);
    });

    ui->WaitImage->setPixmap(WaitIcon().pixmap(32, 32));
    ui->WaitPanel->raise();

    ui->sLabel2->setCursor(Qt::PointingHandCursor);
    ui->sLabel2->installEventFilter(this);

    connect(ui->wbBanner, &WebView::ProgressChange, this,
        [this](int Progress, int ProgressMax) { wbBannerProgressChange(Progress, ProgressMax); });

    FormCreate(Arguments);
}

TfrmMain::~TfrmMain()
{
    if (m_waitCursor)
        QApplication::restoreOverrideCursor();
}

void TfrmMain::FormCreate(const QStringList &Arguments)
{
    UserID.clear();
    bool refused = false;
    const QString argument = CommandLineUserID(Arguments, &refused);
    if (refused) {
        // Told why, then asked to log in as if no id had been given.
        ShowPlainMessage(
            this, ControlTexts::UserIDRefused, QStringLiteral("UserIDRefused"), AppTitle());
    }
    if (!argument.isEmpty())
        UserID = argument;
    else
        runLogin();
    if (UserID.isEmpty())
        return; // nobody identified: the program ends without using this window
    m_cartPage->SetUserID(UserID);

    // The photo grid configures itself as it is built: clicks toggle, thumbnails read ahead.
    ui->wbBanner->ShowServicePage(QStringLiteral("/clients/brimvale_1.2A_top.html"));
    ui->pcMain->setCurrentIndex(FolderPageIndex);
}

void TfrmMain::putOnWaitingList(const QStringList &Paths)
{
    ShowWaitPanel();
    m_cartPage->AddPhotos(Paths, ui->ggProgress);
    ui->pcMain->setCurrentIndex(CartPageIndex);
    m_cartPage->OrderBrowser()->RefreshView();
    HideWaitPanel();
}

void TfrmMain::runLogin()
{
    // Destroyed whatever happens, also when an error interrupts it.
    auto login = std::make_unique<TfrmLogin>(this);
    if (login->exec() == ModalResult::mrOk)
        UserID = login->UserID;
}

void TfrmMain::showEvent(QShowEvent *Event)
{
    QWidget::showEvent(Event);
    if (!m_placed) {
        m_placed = true;
        // The window manager adds its frame after the window is mapped.
        QTimer::singleShot(0, this, [this] { placeOnScreen(); });
    }
}

void TfrmMain::placeOnScreen()
{
    // 1024 x 731 is the outer size, frame included, centred on the screen.
    const QSize frame = frameGeometry().size() - size();
    if (!frame.isEmpty() && frame.width() < OuterWidth && frame.height() < OuterHeight)
        resize(OuterWidth - frame.width(), OuterHeight - frame.height());
    if (QScreen *screen = this->screen()) {
        const QRect area = screen->availableGeometry();
        move(area.x() + (area.width() - OuterWidth) / 2,
            area.y() + (area.height() - OuterHeight) / 2);
    }
}

void TfrmMain::btnCartViewClick()
{
    ui->pcMain->setCurrentIndex(CartPageIndex);
}

void TfrmMain::btnFolderViewClick()
{
    ui->pcMain->setCurrentIndex(FolderPageIndex);
}

void TfrmMain::btnSelectAllClick()
{
    m_folderPage->btnSelectAllClick();
}

void TfrmMain::btnDeselecteAllClick()
{
    m_folderPage->btnDeselecteAllClick();
}

void TfrmMain::btnAddToListClick()
{
    m_folderPage->btnAddToListClick();
}

void TfrmMain::btnInitializeClick()
{
    m_cartPage->btnInitializeClick();
}

void TfrmMain::btnClearClick()
{
    m_cartPage->btnClearClick();
}

void TfrmMain::btnUploadClick()
{
    m_cartPage->btnUploadClick();
}

TOrderBrowser *TfrmMain::OrderBrowser() const
{
    return m_cartPage->OrderBrowser();
}

void TfrmMain::sLabel2Click()
{
    if (TAutoBJ *window = AutoBJ())
        window->exec();
}

void TfrmMain::wbBannerProgressChange(int Progress, int ProgressMax)
{
    ui->wbBanner->HideScrollBarsWhenLoaded(Progress, ProgressMax);
}

void TfrmMain::ShowWaitPanel()
{
    QFrame *panel = ui->WaitPanel;
    const QSize outer = frameGeometry().size();
    panel->move(qRound(outer.width() / 2.0 - panel->width() / 2.0),
        qRound(outer.height() / 2.0 - panel->height()));
    panel->raise();
    panel->show();
    if (!m_waitCursor) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        m_waitCursor = true;
    }
    // Painted now, before the long work; the user's clicks and keys wait until it is over.
    panel->repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TfrmMain::HideWaitPanel()
{
    if (m_waitCursor) {
        QApplication::restoreOverrideCursor();
        m_waitCursor = false;
    }
    ui->WaitPanel->hide();
}

bool TfrmMain::eventFilter(QObject *Watched, QEvent *Event)
{
    if (Watched == ui->sLabel2 && Event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent *>(Event)->button() == Qt::LeftButton) {
        RunHandler([this] { sLabel2Click(); });
        return true;
    }
    return QWidget::eventFilter(Watched, Event);
}

QTabWidget *TfrmMain::pcMain() const
{
    return ui->pcMain;
}
QWidget *TfrmMain::FolderPage() const
{
    return ui->FolderPage;
}
QWidget *TfrmMain::CartPage() const
{
    return ui->CartPage;
}
QWidget *TfrmMain::FolderTreePanel() const
{
    return ui->FolderTreePanel;
}
QWidget *TfrmMain::FolderGridPanel() const
{
    return ui->FolderGridPanel;
}
QFrame *TfrmMain::BatchPanel() const
{
    return ui->BatchPanel;
}
QWidget *TfrmMain::OrderBrowserPanel() const
{
    return ui->OrderBrowserPanel;
}
WebView *TfrmMain::wbBanner() const
{
    return ui->wbBanner;
}
QFrame *TfrmMain::WaitPanel() const
{
    return ui->WaitPanel;
}
QProgressBar *TfrmMain::ggProgress() const
{
    return ui->ggProgress;
}
QLabel *TfrmMain::sLabel2() const
{
    return ui->sLabel2;
}

QToolButton *TfrmMain::ToolButton(const QString &Name) const
{
    return findChild<QToolButton *>(Name);
}
