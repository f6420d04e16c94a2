#pragma once

#include <QColor>
#include <QDialog>
#include <QPixmap>
#include <functional>
#include <optional>

#include "core/options_presenter.h"
#include "platform/system_facts.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace calventa::ui {

class CaptionBar;

// Opens a colour dialog on `initial`; nullopt when the user cancels it.
using ColorChooser = std::function<std::optional<QColor>(const QColor& initial, QWidget* parent)>;
ColorChooser SystemColorChooser();

// The nine tree icons, 16 × 16, numbered as the presenter's TreeNode::Icon.
inline constexpr int kTreeIconCount = 9;
QPixmap DrawTreeIcon(int index);

// TOptionsForm: the tree, the three overlapping pages and the three buttons, all rendered
// from the options presenter after every call; user actions go to the presenter and the
// buttons to whoever owns the dialog. Created once and only shown and hidden afterwards.
//
// Object names: "OptionsTree"; "GeneralPage", "SummaryPage" ("SummaryLine"), "SensorPage";
// sensor page "SensorEnabled", "SensorFrame", "ChipList", "SensorList", "AlarmFrame",
// "AlarmEnabled", "MinField", "MaxField", "CorrectionFrame", "CorrectionField", "FanFrame",
// "FanControlEnabled", "RegisterList", "SourceList", "NominalField"; every field's spin
// buttons are its name with "Up"/"Down" for "Field" ("MinUp", "MinDown"); General page
// "RunWithWindows", "StartMinimized", "ModeOnDesktop", "ModeOnTop", "ModeNormal",
// "StyleFrame", "StyleNormal", "StyleSimple", "DiskIntervalField", "SensorIntervalField",
// "AlphaBar", "TraySourceList", "Celsius", "Fahrenheit", "TrayColorSwatch", "AlarmNotifications"; buttons
// "ResetButton", "CancelButton", "OkButton".
class OptionsWindow : public QDialog
{
    Q_OBJECT
public:
    OptionsWindow(core::OptionsPresenter& presenter, platform::PlatformFamily family,
                  ColorChooser chooser = SystemColorChooser(), QWidget* parent = nullptr);

    // Renders every control from the presenter.
    void Render();

    // The colour the colour dialog opens with next: its own last confirmed one.
    QColor LastChosenColor() const { return m_lastColor; }

signals:
    void OkClicked();
    void CancelClicked();
    void ResetClicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    // Escape hides the dialog as the frame's close control does.
    void reject() override;

private:
    void BuildTree();
    void BuildSensorPage(QWidget* area);
    void BuildGeneralPage(QWidget* area);
    void RenderTree();
    void RenderSensorPage();
    void RenderGeneralPage();
    // Runs a presenter call for a user action, then renders what it changed.
    void Act(const std::function<void(core::OptionsPresenter&)>& action);
    void ChooseTrayColor();

    core::OptionsPresenter& m_presenter;
    ColorChooser m_chooser;
    QColor m_lastColor = Qt::black;

    QTreeWidget* m_tree = nullptr;
    std::vector<QTreeWidgetItem*> m_items;

    QWidget* m_generalPage = nullptr;
    QGroupBox* m_summaryPage = nullptr;
    QLabel* m_summaryLine = nullptr;

    QGroupBox* m_sensorPage = nullptr;
    QCheckBox* m_sensorEnabled = nullptr;
    QGroupBox* m_sensorFrame = nullptr;
    QComboBox* m_chipList = nullptr;
    QComboBox* m_sensorList = nullptr;
    QCheckBox* m_alarmEnabled = nullptr;
    QLineEdit* m_minField = nullptr;
    QLineEdit* m_maxField = nullptr;
    QGroupBox* m_correctionFrame = nullptr;
    QLineEdit* m_correctionField = nullptr;
    QGroupBox* m_fanFrame = nullptr;
    QCheckBox* m_fanControlEnabled = nullptr;
    QComboBox* m_registerList = nullptr;
    QComboBox* m_sourceList = nullptr;
    QLineEdit* m_nominalField = nullptr;
    QLabel* m_fanProblem = nullptr;

    QCheckBox* m_runWithWindows = nullptr;
    QCheckBox* m_startMinimized = nullptr;
    QRadioButton* m_modeButtons[3] = {};
    QGroupBox* m_styleFrame = nullptr;
    QRadioButton* m_styleNormal = nullptr;
    QRadioButton* m_styleSimple = nullptr;
    QLineEdit* m_diskIntervalField = nullptr;
    QLineEdit* m_sensorIntervalField = nullptr;
    QSlider* m_alphaBar = nullptr;
    QComboBox* m_traySourceList = nullptr;
    QRadioButton* m_celsius = nullptr;
    QRadioButton* m_fahrenheit = nullptr;
    QToolButton* m_colorSwatch = nullptr;
    QCheckBox* m_alarmNotifications = nullptr;
};

} // namespace calventa::ui
