#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;

// Shown when no browser could be started after a completed order: the order is on the server
// and waits in the web basket, so the customer gets its address to copy into a browser himself.
// The program ends only once he has closed this window.
class TfrmBasketAddress : public QDialog
{
    Q_OBJECT

public:
    explicit TfrmBasketAddress(const QString &Address, QWidget *Parent = nullptr);

    QLineEdit *edtAddress() const { return m_address; }
    QPushButton *btnCopy() const { return m_copy; }
    QPushButton *btnClose() const { return m_close; }
    QLabel *lblCopied() const { return m_copied; }

    void btnCopyClick();

private:
    QLineEdit *m_address;
    QPushButton *m_copy;
    QPushButton *m_close;
    QLabel *m_copied;
};

// Shows the window modally over Parent.
void ShowBasketAddress(QWidget *Parent, const QString &Address);
