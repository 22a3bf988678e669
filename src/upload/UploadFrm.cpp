#include "upload/UploadFrm.h"
#include "ui_UploadFrm.h"

#include "ui/AppFonts.h"
#include "ui/AppTitle.h"
#include "ui/ErrorDisplay.h"
#include "ui/LiveLabel.h"
#include "ui/PlainMessage.h"
#include "upload/BasketAddressFrm.h"
#include "upload/UploadTexts.h"
#include "util/Cp949.h"
#include "util/ServiceConfig.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>

namespace {

// VCL colour 8542779.
const char *const MessageColour = "color: rgb(59, 90, 130);";

} // namespace

TfrmUpload::TfrmUpload(QWidget *Owner)
    : QDialog(Owner)
    , ui(std::make_unique<Ui::TfrmUpload>())
    , m_engine(m_bridge)
    , m_timer(new QTimer(this))
{
    ui->setupUi(this);
    // A dialog frame without a close box, above other windows.
    setWindowFlags(
        Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint);
    setFixedSize(337, 134);
    setFont(SansSerifFont(11));

    ui->lblMessage->setFont(GulimFont(12));
    ui->lblSpeed->setFont(GulimFont(12));
    ui->btnCancel->setFont(GulimFont(12));
    ui->lblMessage->setStyleSheet(QString::fromLatin1(MessageColour));
    ui->lblSpeed->setStyleSheet(QString::fromLatin1(MessageColour));
    ui->sLabel1->setStyleSheet(QString::fromLatin1(MessageColour));
    ui->ExceptionLabel->setStyleSheet(QStringLiteral("color: #808080;"));
    // The step, the file being sent, the speed and the reconnect messages are read out as
    // they change.
    for (QLabel *label : {ui->lblMessage, ui->lblSpeed, ui->ExceptionLabel})
        ExposeLabelText(label);
    for (QProgressBar *gauge : {ui->FileGauge, ui->TotalGauge})
        gauge->setStyleSheet(QStringLiteral("QProgressBar { color: black; }"));

    m_timer->setObjectName(QStringLiteral("Timer"));
    m_timer->setSingleShot(true);
    m_timer->setInterval(500);
    connect(m_timer, &QTimer::timeout, this, [this] { RunHandler([this] { TimerTimer(); }); });
    connect(ui->btnCancel, &QPushButton::clicked, this,
        [this] { RunHandler([this] { btnCancelClick(); }); });

    // The engine's reports, on this window's thread.
    connect(&m_bridge, &UploadObserverBridge::messageChanged, ui->lblMessage, &QLabel::setText);
    connect(&m_bridge, &UploadObserverBridge::speedChanged, ui->lblSpeed, &QLabel::setText);
    // The time left rides in the total gauge's text, beside its percentage.
    connect(&m_bridge, &UploadObserverBridge::timeLeftChanged, this, [this](const QString &Text) {
        ui->TotalGauge->setFormat(QStringLiteral("%p%   ") + Text);
    });
    connect(&m_bridge, &UploadObserverBridge::exceptionTextChanged, ui->ExceptionLabel,
        &QLabel::setText);
    connect(&m_bridge, &UploadObserverBridge::fileGaugeChanged, this,
        [this](qint64 Max, qint64 Progress) { setGauge(ui->FileGauge, Max, Progress); });
    connect(&m_bridge, &UploadObserverBridge::totalGaugeChanged, this,
        [this](int Max, int Progress) { setGauge(ui->TotalGauge, Max, Progress); });
    connect(&m_bridge, &UploadObserverBridge::cancelEnabledChanged, ui->btnCancel,
        &QPushButton::setEnabled);
    connect(&m_bridge, &UploadObserverBridge::browserRequested, this,
        [this](const QByteArray &Address) {
            // The order is on the server: without a browser the customer still needs the way
            // to his basket, so the address is shown until he closes the window.
            if (!OpenBasket(Address).Started)
                ShowBasketAddress(this, fromCp949(Address));
        });
    connect(&m_engine, &UploadEngine::finished, this, [this](bool Ok) { engineFinished(Ok); });

    m_bridge.OnShowMessage = [this](const QString &Text) {
        ShowPlainMessage(this, Text, QString::fromLatin1(MessageBoxName), AppTitle());
    };
    m_bridge.OnAskWebRoute = [this](const QString &Question) {
        QMessageBox box(QMessageBox::Question, UploadTexts::ConfirmCaption, Question,
            QMessageBox::Yes | QMessageBox::No, this);
        box.setObjectName(QString::fromLatin1(QuestionBoxName));
        box.button(QMessageBox::Yes)->setObjectName(QStringLiteral("btnYes"));
        box.button(QMessageBox::No)->setObjectName(QStringLiteral("btnNo"));
        return box.exec() == QMessageBox::Yes;
    };
    m_bridge.OnShowError = [this](const QString &Text) {
        m_errorShown = true;
        ShowException(Text);
    };
}

TfrmUpload::~TfrmUpload()
{
    // A question still open on the worker is answered No, and the upload stops.
    m_bridge.Release();
    m_engine.RequestCancel();
    m_engine.Wait();
}

QLabel *TfrmUpload::lblMessage() const
{
    return ui->lblMessage;
}
QLabel *TfrmUpload::lblSpeed() const
{
    return ui->lblSpeed;
}
QLabel *TfrmUpload::ExceptionLabel() const
{
    return ui->ExceptionLabel;
}
QProgressBar *TfrmUpload::FileGauge() const
{
    return ui->FileGauge;
}
QProgressBar *TfrmUpload::TotalGauge() const
{
    return ui->TotalGauge;
}
QPushButton *TfrmUpload::btnCancel() const
{
    return ui->btnCancel;
}

void TfrmUpload::showEvent(QShowEvent *Event)
{
    QDialog::showEvent(Event);
    if (!m_activated) {
        m_activated = true;
        RunHandler([this] { FormActivate(); });
    }
}

void TfrmUpload::hideEvent(QHideEvent *Event)
{
    QDialog::hideEvent(Event);
    if (!m_engine.IsRunning())
        m_activated = false; // the next showing uploads again
}

void TfrmUpload::FormActivate()
{
    m_engine.Reset();
    ui->TotalGauge->setFormat(QStringLiteral("%p%"));
    m_cancelled = false;
    m_errorShown = false;
    m_completed = false;
    m_timer->start();
}

void TfrmUpload::TimerTimer()
{
    m_timer->stop();
    ui->lblMessage->setText(UploadTexts::Connecting);
    m_engine.Start(UploadRequest::FromOrders(UserID, Orders, m_settings));
}

void TfrmUpload::engineFinished(bool Ok)
{
    m_completed = Ok && !m_cancelled;
    ui->btnCancel->setEnabled(true);
    if (m_errorShown && !m_cancelled)
        return; // the last texts stay until the user closes the window with Cancel
    done(QDialog::Accepted);
}

void TfrmUpload::btnCancelClick()
{
    m_completed = false;
    m_cancelled = true;
    if (m_timer->isActive()) {
        m_timer->stop();
        done(QDialog::Accepted);
        return;
    }
    if (m_engine.IsRunning()) {
        // Honoured in every phase; the window closes as soon as the upload has stopped.
        m_engine.RequestCancel();
        return;
    }
    done(QDialog::Accepted);
}

void TfrmUpload::reject()
{
    // Escape is Cancel while Cancel can be pressed; otherwise (the web route) nothing.
    if (ui->btnCancel->isEnabled())
        btnCancelClick();
}

void TfrmUpload::closeEvent(QCloseEvent *Event)
{
    if (m_engine.IsRunning() || m_timer->isActive()) {
        Event->ignore();
        reject();
        return;
    }
    QDialog::closeEvent(Event);
}

void TfrmUpload::setGauge(QProgressBar *Gauge, qint64 Max, qint64 Progress)
{
    const int value = Max > 0 ? int(qBound<qint64>(0, Progress, Max) * 1000 / Max) : 0;
    Gauge->setValue(value);
}

LaunchResult TfrmUpload::OpenBasket(const QByteArray &Address)
{
    // The query values are CP949 bytes; the browser encodes the text it is given itself.
    const QString address = fromCp949(Address);
    QStringList command = QProcess::splitCommand(ServiceConfig::BrowserCommand());
    if (command.isEmpty()) {
        for (const char *name : {"google-chrome", "google-chrome-stable", "chromium",
                 "chromium-browser", "chrome", "xdg-open"}) {
            const QString found = QStandardPaths::findExecutable(QString::fromLatin1(name));
            if (!found.isEmpty()) {
                command = {found};
                break;
            }
        }
    }
    if (command.isEmpty()) {
        LaunchResult desktop;
        desktop.Started = QDesktopServices::openUrl(QUrl(address, QUrl::TolerantMode));
        if (!desktop.Started)
            desktop.Error = QStringLiteral("no browser");
        return desktop;
    }
    const QString program = command.takeFirst();
    // A launcher that finds no browser ends within a moment; a browser stays.
    return LaunchAndWatch(program, command << address, 1000);
}
