#pragma once

#include <QHash>
#include <QImage>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <QWidget>

#include <atomic>
#include <memory>

class QTextBrowser;
class QTimer;
class PageTextBrowser;

// An embedded view of one page of the service's web server (the banner, the two notices).
// Two back ends: Qt WebEngine where the build has it, and a QTextBrowser that shows the HTML
// subset Qt renders, with its pictures. Both fetch the page bytes with the program's HTTP client
// and decode them by the declared charset themselves, so CP949 pages keep every letter.
//
// ProgressChange(Progress, ProgressMax) reports the load; Progress == ProgressMax whenever a
// load has finished (also a failed one, which shows the view's own error text), possibly
// several times per page.
class WebView : public QWidget
{
    Q_OBJECT

public:
    enum class Backend { Text, Engine };

    explicit WebView(QWidget *Parent = nullptr);
    WebView(Backend Kind, QWidget *Parent);
    ~WebView() override;

    // Engine when built, unless KESTRUN_WEBVIEW=text asks for the QTextBrowser.
    static Backend DefaultBackend();
    static bool EngineBuilt();

    Backend Kind() const { return m_kind; }

    void Navigate(const QString &Address);
    // Navigates to Path on the service's web server (the banners and notice pages).
    void ShowServicePage(const QString &Path);
    QString Address() const { return m_address; }
    bool Loaded() const { return m_loaded; }
    bool Failed() const { return !m_error.isEmpty(); }

    // Hides the page's scroll bars until the next Navigate. Never fails: without a page it
    // does nothing.
    void HideScrollBars();
    // The banners' progress handler: hides the scroll bars whenever a load has finished
    // (Progress equals ProgressMax), which happens several times in one load.
    void HideScrollBarsWhenLoaded(int Progress, int ProgressMax);
    bool ScrollBarsHidden() const { return m_scrollBarsHidden; }

    // The QTextBrowser of the text back end (nullptr for the engine), for tests and screenshots.
    QTextBrowser *TextBrowser() const;

signals:
    void ProgressChange(int Progress, int ProgressMax);

private:
    void pageArrived(quint64 Generation, const QByteArray &ContentType, const QByteArray &Body,
        const QString &Error);
    void showPage(const QString &Html);
    void showError(const QString &Error);
    void fetchImages(quint64 Generation);
    void imagesArrived(quint64 Generation, const QHash<QUrl, QImage> &Images);
    void finished();
    void cancelWork();

    Backend m_kind;
    QString m_address;
    QUrl m_baseUrl;
    QString m_html;
    QString m_error;
    bool m_loaded = false;
    bool m_scrollBarsHidden = false;
    quint64 m_generation = 0; // a reply of an earlier Navigate is dropped
    std::shared_ptr<std::atomic<bool>> m_cancel;
    QTimer *m_watchdog = nullptr;

    PageTextBrowser *m_text = nullptr;
    QWidget *m_engine = nullptr; // QWebEngineView when built
};
