#pragma once

#include <QWidget>
#include <vector>

#include "core/all_sensors.h"

class QComboBox;
class QLabel;
class QPushButton;
class QTreeWidget;

namespace calventa::ui {

// "All sensors": every input of every chip and every drive, grouped by chip, with its current
// value and its extremes since start, as the core's AllSensorsPresenter gives them; and a way
// to put the selected one on a main-window slot. Object names: "SensorTree" (top items are the
// groups, their children the rows in presenter order), "SlotChoice", "ShowButton".
class AllSensorsWindow : public QWidget
{
    Q_OBJECT
public:
    explicit AllSensorsWindow(QWidget* parent = nullptr);

    // Writes the rows; the tree is rebuilt only when the set of rows changed, so the selection
    // and the scroll position survive the passes.
    void Render(const std::vector<core::SensorListRow>& rows);
    // The presenter row selected, or -1.
    int SelectedRow() const;
    void SelectRow(int row);

signals:
    // "Show in the main window": put presenter row `row` on slot `slot`.
    void ShowInSlot(int row, int slot);

private:
    void SelectionChanged();
    void ShowClicked();

    QTreeWidget* m_tree = nullptr;
    QComboBox* m_slots = nullptr;
    QPushButton* m_show = nullptr;
    QLabel* m_hint = nullptr;
    std::vector<core::SensorListRow> m_rows;
    int m_slotsRow = -1; // the row SlotChoice was filled for
};

} // namespace calventa::ui
