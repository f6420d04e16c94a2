#include "ui/qt/all_sensors_window.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace calventa::ui {

namespace {

enum Column { kSensor, kCurrent, kMinimum, kMaximum, kShownAs, kColumnCount };

// Rows keep their place in the tree while the same inputs exist in the same order.
bool SameRows(const std::vector<core::SensorListRow>& a, const std::vector<core::SensorListRow>& b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].Group != b[i].Group || a[i].Label != b[i].Label || a[i].IsDisk != b[i].IsDisk) {
            return false;
        }
    }
    return true;
}

QString ShownAs(const core::SensorListRow& row)
{
    return row.ShownIn >= 0 ? QString::fromLatin1(core::SlotName(row.ShownIn)) : QString();
}

} // namespace

AllSensorsWindow::AllSensorsWindow(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("AllSensorsWindow"));
    setWindowTitle(QStringLiteral("All sensors"));

    m_tree = new QTreeWidget(this);
    m_tree->setObjectName(QStringLiteral("SensorTree"));
    m_tree->setColumnCount(kColumnCount);
    m_tree->setHeaderLabels({QStringLiteral("Sensor"), QStringLiteral("Current"), QStringLiteral("Minimum"),
                             QStringLiteral("Maximum"), QStringLiteral("Shown as")});
    m_tree->setRootIsDecorated(true);
    m_tree->setUniformRowHeights(true);
    m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tree->header()->setStretchLastSection(false);
    m_tree->header()->setSectionResizeMode(kSensor, QHeaderView::Stretch);
    for (const int column : {kCurrent, kMinimum, kMaximum, kShownAs}) {
        m_tree->header()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    }

    m_hint = new QLabel(QStringLiteral("Show in the main window as"), this);
    m_slots = new QComboBox(this);
    m_slots->setObjectName(QStringLiteral("SlotChoice"));
    m_slots->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    m_show = new QPushButton(QStringLiteral("Show"), this);
    m_show->setObjectName(QStringLiteral("ShowButton"));

    auto* choice = new QHBoxLayout;
    choice->addWidget(m_hint);
    choice->addWidget(m_slots);
    choice->addWidget(m_show);
    choice->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tree, 1);
    layout->addLayout(choice);

    connect(m_tree, &QTreeWidget::itemSelectionChanged, this, &AllSensorsWindow::SelectionChanged);
    connect(m_show, &QPushButton::clicked, this, &AllSensorsWindow::ShowClicked);
    SelectionChanged();
    resize(620, 560);
}

void AllSensorsWindow::Render(const std::vector<core::SensorListRow>& rows)
{
    const bool rebuild = !SameRows(m_rows, rows);
    const int selected = SelectedRow();
    m_rows = rows;
    if (rebuild) {
        m_tree->clear();
        QTreeWidgetItem* group = nullptr;
        for (size_t i = 0; i < m_rows.size(); ++i) {
            const QString name = QString::fromStdString(m_rows[i].Group);
            if (group == nullptr || group->text(kSensor) != name) {
                group = new QTreeWidgetItem(m_tree, {name});
                group->setFlags(Qt::ItemIsEnabled);
                QFont bold = group->font(kSensor);
                bold.setBold(true);
                group->setFont(kSensor, bold);
                group->setFirstColumnSpanned(true);
                group->setExpanded(true);
            }
            auto* item = new QTreeWidgetItem(group, {QString::fromStdString(m_rows[i].Label)});
            item->setData(kSensor, Qt::UserRole, static_cast<int>(i));
        }
    }
    for (int g = 0; g < m_tree->topLevelItemCount(); ++g) {
        QTreeWidgetItem* group = m_tree->topLevelItem(g);
        for (int c = 0; c < group->childCount(); ++c) {
            QTreeWidgetItem* item = group->child(c);
            const auto& row = m_rows[static_cast<size_t>(item->data(kSensor, Qt::UserRole).toInt())];
            item->setText(kCurrent, QString::fromStdString(row.Current));
            item->setText(kMinimum, QString::fromStdString(row.Minimum));
            item->setText(kMaximum, QString::fromStdString(row.Maximum));
            item->setText(kShownAs, ShownAs(row));
        }
    }
    if (rebuild) {
        SelectRow(selected < static_cast<int>(m_rows.size()) ? selected : -1);
        SelectionChanged();
    }
}

int AllSensorsWindow::SelectedRow() const
{
    const QList<QTreeWidgetItem*> items = m_tree->selectedItems();
    if (items.isEmpty() || items.front()->parent() == nullptr) {
        return -1;
    }
    const int row = items.front()->data(kSensor, Qt::UserRole).toInt();
    return row >= 0 && row < static_cast<int>(m_rows.size()) ? row : -1;
}

void AllSensorsWindow::SelectRow(int row)
{
    m_tree->clearSelection();
    for (int g = 0; g < m_tree->topLevelItemCount(); ++g) {
        QTreeWidgetItem* group = m_tree->topLevelItem(g);
        for (int c = 0; c < group->childCount(); ++c) {
            if (group->child(c)->data(kSensor, Qt::UserRole).toInt() == row) {
                group->child(c)->setSelected(true);
                m_tree->setCurrentItem(group->child(c));
                return;
            }
        }
    }
}

void AllSensorsWindow::SelectionChanged()
{
    const int row = SelectedRow();
    // Keep the user's choice across a pass on the same row; a new row offers the slot showing it.
    const int previous = row == m_slotsRow && m_slots->currentData().isValid() ? m_slots->currentData().toInt() : -1;
    m_slotsRow = row;
    m_slots->clear();
    if (row >= 0) {
        const core::SensorListRow& selected = m_rows[static_cast<size_t>(row)];
        for (const int slot : selected.Slots) {
            m_slots->addItem(QString::fromLatin1(core::SlotName(slot)), slot);
        }
        const int keep = m_slots->findData(previous);
        const int shown = m_slots->findData(selected.ShownIn);
        m_slots->setCurrentIndex(keep >= 0 ? keep : (shown >= 0 ? shown : 0));
    }
    m_slots->setEnabled(row >= 0);
    m_show->setEnabled(row >= 0 && m_slots->count() > 0);
}

void AllSensorsWindow::ShowClicked()
{
    const int row = SelectedRow();
    if (row >= 0 && m_slots->currentIndex() >= 0) {
        emit ShowInSlot(row, m_slots->currentData().toInt());
    }
}

} // namespace calventa::ui
