#include "app/LoginFrm.h"
#include "common/JpegFixtures.h"
#include "common/WindowTestMain.h"
#include "model/uBrimvaleOrders.h"
#include "notices/OptionAlertFrm.h"
#include "notices/SizeAlertFrm.h"
#include "notices/uAutoBJFrm.h"
#include "trim/TrimmingFrm.h"
#include "upload/BasketAddressFrm.h"

#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>

// Enter and Escape in every dialog: Enter does what its OK does (on a focused button, what
// that button does), Escape what its Cancel does.
class tst_dialogkeys : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_photo;
    std::unique_ptr<TOrder> m_order;

    std::unique_ptr<QDialog> make(const QString &Window)
    {
        if (Window == "login")
            return std::make_unique<TfrmLogin>();
        if (Window == "size alert")
            return std::make_unique<TfrmSizeAlert>();
        if (Window == "option alert")
            return std::make_unique<TfrmOptionAlert>();
        if (Window == "auto correction")
            return std::make_unique<TAutoBJ>();
        if (Window == "basket address")
            return std::make_unique<TfrmBasketAddress>("http://127.0.0.1:9/basket?id=guest");
        auto trimming = std::make_unique<TfrmTrimming>();
        trimming->OpenForOrder(*m_order);
        return trimming;
    }

private slots:
    void initTestCase()
    {
        qputenv("KESTRUN_WEB_URL", "http://127.0.0.1:9");
        qputenv("KESTRUN_CONFIG", m_dir.filePath("Kestrun.cfg").toUtf8());
        m_photo = m_dir.filePath("photo.jpg");
        QFile file(m_photo);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(fixtures::EncodeJpeg(fixtures::Textured(800, 600, 1)));
        file.close();
        m_order = TOrder::Create(m_photo);
        m_order->Quantities[2] = 1;
        m_order->SetLayout(TOrder::LayoutPaperFull);
    }

    void enterAndEscape_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("focus"); // the control that has the focus; empty: as opened
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("result"); // -1: the window stays open

        const int enter = Qt::Key_Return, escape = Qt::Key_Escape;
        QTest::newRow("login escape") << "login"
                                      << "edtID" << escape << 2;
        QTest::newRow("login enter on guest") << "login"
                                              << "btnGuest" << enter << 1;
        QTest::newRow("login keypad enter on guest") << "login"
                                                     << "btnGuest" << int(Qt::Key_Enter) << 1;
        QTest::newRow("size alert enter") << "size alert"
                                          << "" << enter << 7;
        QTest::newRow("size alert enter on yes") << "size alert"
                                                 << "btnYes" << enter << 6;
        QTest::newRow("size alert enter on the box") << "size alert"
                                                     << "chkAll" << enter << 7;
        QTest::newRow("size alert escape") << "size alert"
                                           << "btnYes" << escape << 2;
        QTest::newRow("option alert enter") << "option alert"
                                            << "" << enter << 1;
        QTest::newRow("option alert escape") << "option alert"
                                             << "" << escape << 2;
        QTest::newRow("auto correction enter") << "auto correction"
                                               << "" << enter << 2;
        QTest::newRow("auto correction escape") << "auto correction"
                                                << "" << escape << 2;
        QTest::newRow("trimming enter") << "trimming"
                                        << "" << enter << 1;
        QTest::newRow("trimming enter on a size") << "trimming"
                                                  << "rbSize2" << enter << 1;
        QTest::newRow("trimming enter on cancel") << "trimming"
                                                  << "sBitBtn1" << enter << 2;
        QTest::newRow("trimming escape") << "trimming"
                                         << "" << escape << 2;
        // The basket address: Enter copies (the window stays), Escape closes it.
        QTest::newRow("basket address enter") << "basket address"
                                              << "" << enter << -1;
        QTest::newRow("basket address enter on close")
            << "basket address"
            << "btnClose" << enter << int(QDialog::Accepted);
        QTest::newRow("basket address escape") << "basket address"
                                               << "" << escape << int(QDialog::Rejected);
    }

    void enterAndEscape()
    {
        QFETCH(QString, window);
        QFETCH(QString, focus);
        QFETCH(int, key);
        QFETCH(int, result);

        std::unique_ptr<QDialog> dialog = make(window);
        QSignalSpy finished(dialog.get(), &QDialog::finished);
        dialog->show();
        QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
        if (!focus.isEmpty()) {
            auto *target = dialog->findChild<QWidget *>(focus);
            QVERIFY(target);
            target->setFocus(Qt::TabFocusReason);
            QTRY_COMPARE(QApplication::focusWidget(), target);
        }
        QWidget *receiver = QApplication::focusWidget();
        QVERIFY(receiver);
        if (const QString shots = qEnvironmentVariable("KB_SCREENSHOT_DIR"); !shots.isEmpty())
            dialog->grab().save(shots + "/keys-" + QTest::currentDataTag() + ".png");
        const auto modifiers = key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier;
        QTest::keyClick(receiver, Qt::Key(key), modifiers);
        if (result < 0) {
            QVERIFY(dialog->isVisible());
            QCOMPARE(finished.count(), 0);
            return;
        }
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.first().first().toInt(), result);
        QVERIFY(!dialog->isVisible());
    }
};

KB_WINDOW_TEST_MAIN(tst_dialogkeys)
#include "tst_dialogkeys.moc"
