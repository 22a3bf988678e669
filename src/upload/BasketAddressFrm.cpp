#include "upload/BasketAddressFrm.h"

#include "ui/AppFonts.h"
#include "ui/AppTitle.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TfrmBasketAddress::TfrmBasketAddress(const QString &Address, QWidget *Parent)
    : QDialog(Parent)
    , m_address(new QLineEdit(Address, this))
    , m_copy(new QPushButton(QStringLiteral("주소 복사"), this))
    , m_close(new QPushButton(QStringLiteral("닫기"), this))
    , m_copied(new QLabel(this))
{
    setObjectName(QStringLiteral("BasketAddress"));
    setWindowTitle(AppTitle());
    setFont(GulimFont(12));
    setMinimumWidth(640);

    auto *explanation = new QLabel(
        QStringLiteral("주문하신 사진은 모두 서버에 올라갔습니다.\n"
                       "브라우저를 열 수 없어 장바구니를 띄우지 못했습니다. 아래 주소를 복사해 "
                       "웹 브라우저의 주소창에 붙여 넣으면 장바구니에서 주문을 마칠 수 있습니다."),
        this);
    explanation->setObjectName(QStringLiteral("lblExplanation"));
    explanation->setWordWrap(true);
    explanation->setAccessibleName(explanation->text());

    m_address->setObjectName(QStringLiteral("edtAddress"));
    m_address->setReadOnly(true); // selectable and copyable, not editable
    m_address->setAccessibleName(QStringLiteral("장바구니 주소"));
    explanation->setBuddy(m_address);

    m_copy->setObjectName(QStringLiteral("btnCopy"));
    m_close->setObjectName(QStringLiteral("btnClose"));
    m_copy->setAccessibleName(m_copy->text());
    m_close->setAccessibleName(m_close->text());
    m_copy->setDefault(true);
    m_copied->setObjectName(QStringLiteral("lblCopied"));

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_copied, 1);
    buttons->addWidget(m_copy);
    buttons->addWidget(m_close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(explanation);
    layout->addWidget(m_address);
    layout->addLayout(buttons);

    connect(m_copy, &QPushButton::clicked, this, &TfrmBasketAddress::btnCopyClick);
    connect(m_close, &QPushButton::clicked, this, &QDialog::accept);
    m_address->setFocus();
    // All selected for Ctrl+C, shown from its start.
    m_address->setSelection(int(Address.size()), -int(Address.size()));
}

void TfrmBasketAddress::btnCopyClick()
{
    QApplication::clipboard()->setText(m_address->text());
    m_copied->setText(QStringLiteral("주소를 복사했습니다."));
    m_copied->setAccessibleName(m_copied->text());
}

void ShowBasketAddress(QWidget *Parent, const QString &Address)
{
    TfrmBasketAddress window(Address, Parent);
    window.exec();
}
