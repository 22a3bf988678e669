#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class TAutoBJ;
}

// The auto-correction explanation: a fixed text. Created once at start-up; exec() answers
// Cancel 2 ("닫   기" or the frame), which nobody uses.
class TAutoBJ : public QDialog
{
    Q_OBJECT

public:
    explicit TAutoBJ(QWidget *Owner = nullptr);
    ~TAutoBJ() override;

    // The explanation exactly as written: fifteen lines joined by CR LF, blanks included.
    static QString Caption();

    void reject() override;

private:
    std::unique_ptr<Ui::TAutoBJ> ui;
};
