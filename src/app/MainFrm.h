#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

#include <memory>

namespace Ui {
class TfrmMain;
}
class QFrame;
class QLabel;
class QProgressBar;
class QTabWidget;
class QToolButton;
class TCartPage;
class TFolderPage;
class TOrderBrowser;
class WebView;

// The main window: the banner across the top and the page control with the folder page
// (FolderPage, index 0) and the order waiting list (CartPage, index 1), plus the wait panel that
// long work shows over the pages. Creating it settles who the user is (FormCreate); when nobody
// is identified UserID stays empty and the window must not be used (the program ends).
//
// The pages' contents live in named host panels: FolderTreePanel (folder tree, 185 wide) and
// FolderGridPanel (photo grid and its status bar) on the folder page, BatchPanel (193 wide) and
// OrderBrowserPanel (order browser) on the cart page. Each host has an empty QVBoxLayout
// without margins.
class TfrmMain : public QWidget
{
    Q_OBJECT

public:
    static constexpr int FolderPageIndex = 0;
    static constexpr int CartPageIndex = 1;

    // Arguments as QCoreApplication::arguments() gives them, the program first.
    explicit TfrmMain(const QStringList &Arguments, QWidget *Parent = nullptr);
    ~TfrmMain() override;

    // The identity under which the order is sent: a member id, "guest", or the first
    // command-line argument exactly as given.
    QString UserID;

    void FormCreate(const QStringList &Arguments);

    void btnCartViewClick();
    void btnFolderViewClick();
    void btnSelectAllClick();
    void btnDeselecteAllClick();
    void btnAddToListClick();
    void btnInitializeClick();
    void btnClearClick();
    void btnUploadClick();
    void sLabel2Click();
    void wbBannerProgressChange(int Progress, int ProgressMax);

    // Long work: ShowWaitPanel before it (panel over the pages, hourglass, one repaint), and
    // HideWaitPanel after it. The gauge ggProgress shows a percentage meanwhile.
    void ShowWaitPanel();
    void HideWaitPanel();

    QTabWidget *pcMain() const;
    QWidget *FolderPage() const;
    QWidget *CartPage() const;
    QWidget *FolderTreePanel() const;
    QWidget *FolderGridPanel() const;
    QFrame *BatchPanel() const;
    QWidget *OrderBrowserPanel() const;
    WebView *wbBanner() const;
    QFrame *WaitPanel() const;
    QProgressBar *ggProgress() const;
    QLabel *sLabel2() const;
    QToolButton *ToolButton(const QString &Name) const;
    // The folder tree, the photo grid and their commands.
    TFolderPage *Folders() const { return m_folderPage; }
    // The order browser beside the batch panel, and the cart page's commands.
    TOrderBrowser *OrderBrowser() const;
    TCartPage *Cart() const { return m_cartPage; }

protected:
    void showEvent(QShowEvent *Event) override;
    bool eventFilter(QObject *Watched, QEvent *Event) override;

private:
    // Puts the chosen photos on the waiting list, each once, and shows the list.
    void putOnWaitingList(const QStringList &Paths);
    void runLogin();
    void placeOnScreen();

    std::unique_ptr<Ui::TfrmMain> ui;
    TFolderPage *m_folderPage = nullptr;
    TCartPage *m_cartPage = nullptr;
    bool m_waitCursor = false;
    bool m_placed = false;
};
