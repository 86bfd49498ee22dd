#pragma once
// The selection dialog: a check-box list of the stored items over SelectionLogic, which keeps
// the rows and ticks (they survive hiding), with "OK", "Cancel", "Check all", "Uncheck all".
#include "ui/SelectionLogic.h"

#include <QDialog>

class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace kelvo::transfer {

class TFormSelect final : public QDialog {
    Q_OBJECT
public:
    TFormSelect(ui::SelectionLogic& logic, QWidget* parent);

    // Draws the logic's rows and shows the dialog modally: ui::kModalOk or ui::kModalCancel.
    int showModal();
    // Draws the logic's rows again (after generujListe or a change of ticks).
    void refresh();

    QTreeWidget* list() const { return sListView1_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }
    QPushButton* checkAllButton() const { return checkAll_; }
    QPushButton* uncheckAllButton() const { return uncheckAll_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void sButton2Click(int tag);
    void itemChanged(QTreeWidgetItem* item, int column);

    ui::SelectionLogic& logic_;
    // Children of the dialog, which owns them.
    QTreeWidget* sListView1_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QPushButton* checkAll_ = nullptr;
    QPushButton* uncheckAll_ = nullptr;
    bool drawing_ = false;
};

} // namespace kelvo::transfer
