#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class TfrmOptionAlert;
}
class WebView;

// The print-option notice, shown when a photo has no layout chosen. Created once at start-up.
// exec() answers OK 1 ("확 인") or Cancel 2 (the frame); callers do not use the answer.
class TfrmOptionAlert : public QDialog
{
    Q_OBJECT

public:
    explicit TfrmOptionAlert(QWidget *Owner = nullptr);
    ~TfrmOptionAlert() override;

    WebView *Banner() const;

    void FormCreate();
    void WebBannerProgressChange(int Progress, int ProgressMax);

    void reject() override;

private:
    std::unique_ptr<Ui::TfrmOptionAlert> ui;
};
