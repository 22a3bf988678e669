#include "notices/WebView.h"

#include "notices/PageFetch.h"
#include "util/ServiceConfig.h"

#include <QDesktopServices>
#include <QPointer>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTextFragment>
#include <QTimer>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#ifdef KB_HAVE_WEBENGINE
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineView>
#endif

#include <set>

namespace {

// The HTTP client gives up a stalled page after its own limit; this one also ends an engine
// load that never completes.
constexpr int LoadLimitMs = 45000;

QString errorHtml(const QString &Address, const QString &Error)
{
    return QStringLiteral("<html><body style=\"font-size:12px\"><p><b>페이지를 표시할 수 없습니다."
                          "</b></p><p>%1</p><p>%2</p></body></html>")
        .arg(Address.toHtmlEscaped(), Error.toHtmlEscaped());
}

} // namespace

// The text back end's browser: pictures come from the view's own cache, filled off the GUI
// thread, never from the local disk.
class PageTextBrowser : public QTextBrowser
{
public:
    using QTextBrowser::QTextBrowser;

    QHash<QUrl, QImage> Images;
    QUrl Base;

    QUrl resolve(const QUrl &Name) const { return Base.resolved(Name); }

    QVariant loadResource(int Type, const QUrl &Name) override
    {
        if (Type == QTextDocument::ImageResource) {
            const auto it = Images.constFind(resolve(Name));
            if (it != Images.constEnd())
                return *it;
        }
        return QVariant();
    }
};

WebView::WebView(QWidget *Parent)
    : WebView(DefaultBackend(), Parent)
{ }

WebView::WebView(Backend Kind, QWidget *Parent)
    : QWidget(Parent)
    , m_kind(EngineBuilt() ? Kind : Backend::Text)
    , m_cancel(std::make_shared<std::atomic<bool>>(false))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_watchdog = new QTimer(this);
    m_watchdog->setSingleShot(true);
    m_watchdog->setInterval(LoadLimitMs);
    connect(m_watchdog, &QTimer::timeout, this, [this] {
#ifdef KB_HAVE_WEBENGINE
        if (auto *view = qobject_cast<QWebEngineView *>(m_engine); view && m_loaded) {
            // The page is there; some picture of it never came.
            view->stop();
            finished();
            return;
        }
#endif
        ++m_generation;
        cancelWork();
        showError(QStringLiteral("Timed out"));
    });

#ifdef KB_HAVE_WEBENGINE
    if (m_kind == Backend::Engine) {
        auto *view = new QWebEngineView(this);
        view->setObjectName(QStringLiteral("EngineView"));
        view->setContextMenuPolicy(Qt::NoContextMenu);
        m_engine = view;
        layout->addWidget(view);
        connect(view, &QWebEngineView::loadProgress, this, [this](int Progress) {
            if (m_loaded)
                emit ProgressChange(Progress, 100);
        });
        connect(view, &QWebEngineView::loadFinished, this, [this](bool) {
            if (m_loaded)
                finished();
        });
        return;
    }
#endif
    m_text = new PageTextBrowser(this);
    m_text->setObjectName(QStringLiteral("TextView"));
    m_text->setOpenLinks(false);
    m_text->setFrameShape(QFrame::NoFrame);
    // A link in a page of the service opens in the desktop's browser.
    connect(m_text, &QTextBrowser::anchorClicked, this,
        [this](const QUrl &Link) { QDesktopServices::openUrl(m_baseUrl.resolved(Link)); });
    layout->addWidget(m_text);
}

WebView::~WebView()
{
    cancelWork();
}

WebView::Backend WebView::DefaultBackend()
{
    if (qEnvironmentVariable("KESTRUN_WEBVIEW").compare(QLatin1String("text"), Qt::CaseInsensitive)
        == 0)
        return Backend::Text;
    return EngineBuilt() ? Backend::Engine : Backend::Text;
}

bool WebView::EngineBuilt()
{
#ifdef KB_HAVE_WEBENGINE
    return true;
#else
    return false;
#endif
}

QTextBrowser *WebView::TextBrowser() const
{
    return m_text;
}

void WebView::cancelWork()
{
    // The worker of an earlier load keeps its own flag and aborts; its reply is dropped.
    m_cancel->store(true);
    m_cancel = std::make_shared<std::atomic<bool>>(false);
}

void WebView::Navigate(const QString &Address)
{
    cancelWork();
    const quint64 generation = ++m_generation;
    m_address = Address;
    m_baseUrl = QUrl(Address, QUrl::TolerantMode);
    m_html.clear();
    m_error.clear();
    m_loaded = false;
    m_scrollBarsHidden = false;
    if (m_text) {
        m_text->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        m_text->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        m_text->Base = m_baseUrl;
        m_text->Images.clear();
    }
#ifdef KB_HAVE_WEBENGINE
    if (auto *view = qobject_cast<QWebEngineView *>(m_engine))
        view->settings()->setAttribute(QWebEngineSettings::ShowScrollBars, true);
#endif
    m_watchdog->start();
    emit ProgressChange(0, 100);

    const QByteArray url = m_baseUrl.toEncoded();
    auto cancel = m_cancel;
    QPointer<WebView> self(this);
    auto future = QtConcurrent::run([url, cancel] { return FetchBytes(url, cancel.get()); });
    future.then(this, [self, generation](const FetchedBytes &Page) {
        if (self)
            self->pageArrived(generation, Page.ContentType, Page.Body, Page.Error);
    });
}

void WebView::pageArrived(
    quint64 Generation, const QByteArray &ContentType, const QByteArray &Body, const QString &Error)
{
    if (Generation != m_generation)
        return;
    if (!Error.isEmpty()) {
        m_watchdog->stop();
        showError(Error);
        return;
    }
    showPage(DecodePage(ContentType, Body));
}

void WebView::showPage(const QString &Html)
{
    m_html = Html;
    m_loaded = true;
#ifdef KB_HAVE_WEBENGINE
    if (auto *view = qobject_cast<QWebEngineView *>(m_engine)) {
        // The engine loads the pictures and style sheets itself; its loadFinished ends the load.
        view->setHtml(Html, m_baseUrl);
        return;
    }
#endif
    m_watchdog->stop();
    m_text->setHtml(Html);
    finished();
    fetchImages(m_generation);
}

void WebView::showError(const QString &Error)
{
    m_error = Error.isEmpty() ? QStringLiteral("Error") : Error;
    m_loaded = true;
    const QString html = errorHtml(m_address, m_error);
#ifdef KB_HAVE_WEBENGINE
    if (auto *view = qobject_cast<QWebEngineView *>(m_engine)) {
        view->setHtml(html, QUrl(QStringLiteral("about:blank")));
        return;
    }
#endif
    m_text->setHtml(html);
    finished();
}

void WebView::finished()
{
    m_watchdog->stop();
    emit ProgressChange(100, 100);
}

void WebView::fetchImages(quint64 Generation)
{
    std::set<QUrl> wanted;
    for (QTextBlock block = m_text->document()->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (format.isImageFormat()) {
                const QUrl url = m_text->resolve(QUrl(format.toImageFormat().name()));
                if (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"))
                    wanted.insert(url);
            }
        }
    }
    if (wanted.empty())
        return;

    QList<QUrl> urls(wanted.begin(), wanted.end());
    auto cancel = m_cancel;
    QPointer<WebView> self(this);
    auto future = QtConcurrent::run([urls, cancel] {
        QHash<QUrl, QImage> images;
        for (const QUrl &url : urls) {
            if (cancel->load())
                break;
            const FetchedBytes bytes = FetchBytes(url.toEncoded(), cancel.get());
            QImage image;
            if (bytes.Error.isEmpty() && image.loadFromData(bytes.Body))
                images.insert(url, image);
        }
        return images;
    });
    future.then(this, [self, Generation](const QHash<QUrl, QImage> &Images) {
        if (self)
            self->imagesArrived(Generation, Images);
    });
}

void WebView::imagesArrived(quint64 Generation, const QHash<QUrl, QImage> &Images)
{
    if (Generation != m_generation || Images.isEmpty())
        return;
    m_text->Images.insert(Images);
    const int scroll = m_text->verticalScrollBar()->value();
    m_text->setHtml(m_html);
    m_text->verticalScrollBar()->setValue(scroll);
    finished();
}

void WebView::ShowServicePage(const QString &Path)
{
    Navigate(ServiceConfig::WebAddress(Path));
}

void WebView::HideScrollBarsWhenLoaded(int Progress, int ProgressMax)
{
    if (Progress == ProgressMax)
        HideScrollBars();
}

void WebView::HideScrollBars()
{
    if (!m_loaded)
        return;
    m_scrollBarsHidden = true;
    if (m_text) {
        m_text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        m_text->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        return;
    }
#ifdef KB_HAVE_WEBENGINE
    if (auto *view = qobject_cast<QWebEngineView *>(m_engine)) {
        view->settings()->setAttribute(QWebEngineSettings::ShowScrollBars, false);
        view->page()->runJavaScript(QStringLiteral(
            "(function(){var b=document.body;if(!b)return;"
            "b.style.overflowX='hidden';b.style.overflowY='hidden';b.setAttribute('scroll','no');"
            "document.documentElement.style.overflow='hidden';})();"));
    }
#endif
}
