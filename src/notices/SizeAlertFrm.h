#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class TfrmSizeAlert;
}
class WebView;

// The low-resolution warning. Created once at start-up; every showing reuses it, so chkAll
// keeps its state between showings. Before each showing the caller sets the caption to the
// photo's file name. exec() answers Yes 6 / No 7, or Yes to all 10 / No to all 9 while chkAll
// is ticked; the frame's close box answers Cancel 2.
class TfrmSizeAlert : public QDialog
{
    Q_OBJECT

public:
    explicit TfrmSizeAlert(QWidget *Owner = nullptr);
    ~TfrmSizeAlert() override;

    int YesResult() const { return m_yesResult; }
    int NoResult() const { return m_noResult; }
    WebView *Banner() const;

    void FormCreate();
    void WebBannerProgressChange(int Progress, int ProgressMax);
    void chkAllClick();
    void btnYesClick();
    void btnNoClick();

    void reject() override;

protected:
    void changeEvent(QEvent *Event) override;

private:
    void updateAnswers();

    std::unique_ptr<Ui::TfrmSizeAlert> ui;
    int m_yesResult;
    int m_noResult;
    // The fixed part of the accessible name; the caption (the photo's file name) follows it.
    QString m_shortName;
};
