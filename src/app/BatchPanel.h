#pragma once

#include "model/uSizeInfo.h"

#include <QWidget>

#include <array>
#include <memory>

namespace Ui {
class TBatchPanel;
}
class QCheckBox;
class QComboBox;
class QSpinBox;
class TOrderBrowser;
class TSizeIndicator;

// The batch panel of the cart page: a quantity per print size and the print options, each
// applied at once to every photo on the waiting list. Its values are inputs only: they are not
// kept with the orders and do not reach photos added later.
class TBatchPanel : public QWidget
{
    Q_OBJECT

public:
    // The browser must outlive the panel.
    explicit TBatchPanel(TOrderBrowser *Browser, QWidget *Parent = nullptr);
    ~TBatchPanel() override;

    // The start text of the layout box while no layout is chosen.
    static QString LayoutPrompt() { return QStringLiteral("선택하세요"); }

    // Handlers.
    void Spin11x14Change(QSpinBox *Sender);
    void cbLayoutChange(QComboBox *Sender);
    void Chk_AllClick();
    // Panel back to its start values, every order reset.
    void ResetBatchPanel();

    QSpinBox *SpinEdit(int SizeIndex) const { return m_spins[SizeIndex]; }
    QComboBox *cbLayout() const;
    QComboBox *cbBorder() const;
    QCheckBox *Chk_All() const;
    TSizeIndicator *GuideMark(int Index) const;

signals:
    // A layout, border or auto-correction choice went to every order (once per change of a
    // box or of the check box, however it was made).
    void OptionsApplied();

private:
    // The item the box's text names, or -1: a typed text counts once it spells an item.
    static int chosenItem(const QComboBox *Box);

    std::unique_ptr<Ui::TBatchPanel> ui;
    TOrderBrowser *m_browser;
    std::array<QSpinBox *, PrintSizeCount> m_spins {};
    // ResetBatchPanel writes the controls; their change handling stays silent meanwhile, as
    // the reset of the orders that follows overrides whatever it would have written.
    bool m_resetting = false;
};
