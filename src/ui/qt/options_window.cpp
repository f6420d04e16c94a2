#include "ui/qt/options_window.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QSlider>
#include <QToolButton>
#include <QTreeWidget>
#include <cmath>

#include "core/options_layout.h"
#include "ui/qt/artwork.h"
#include "ui/qt/window_frame.h"

namespace calventa::ui {

namespace {

namespace layout = core::options_layout;
using core::OptionsPresenter;

constexpr int kClientWidth = core::kOptionsWidth - 2 * kFrameBorder;
constexpr int kPageLeft = layout::kPageArea.X;
constexpr int kPageWidth = layout::kPageArea.Width;
constexpr int kPageHeight = layout::kPageArea.Height;
constexpr int kSpinWidth = layout::kSpinWidth;

QRect RectOf(layout::Rect at)
{
    return QRect(at.X, at.Y, at.Width, at.Height);
}

QString Text(const std::string& text)
{
    return QString::fromStdString(text);
}

QString Text(const char* text)
{
    return QString::fromUtf8(text);
}

QLabel* MakeLabel(const QString& text, QWidget* parent, int x, int y)
{
    auto* label = new QLabel(text, parent);
    label->move(x, y);
    label->adjustSize();
    return label;
}

QCheckBox* MakeCheckBox(const QString& text, const QString& name, QWidget* parent, int x, int y)
{
    auto* box = new QCheckBox(text, parent);
    box->setObjectName(name);
    box->move(x, y);
    box->adjustSize();
    return box;
}

QRadioButton* MakeRadio(const QString& text, const QString& name, QWidget* parent, int x, int y)
{
    auto* button = new QRadioButton(text, parent);
    button->setObjectName(name);
    button->move(x, y);
    button->adjustSize();
    return button;
}

QGroupBox* MakeFrame(const QString& title, const QString& name, QWidget* parent, QRect geometry)
{
    auto* frame = new QGroupBox(title, parent);
    frame->setObjectName(name);
    frame->setGeometry(geometry);
    return frame;
}

QComboBox* MakeList(const QString& name, QWidget* parent, QRect geometry)
{
    auto* list = new QComboBox(parent);
    list->setObjectName(name);
    list->setGeometry(geometry);
    return list;
}

// A read-only field whose value changes only through the up/down buttons beside it; the
// buttons are named after the field ("MinField": "MinUp", "MinDown").
QLineEdit* MakeSpinField(const QString& name, QWidget* parent, QRect field, const std::function<void(bool)>& stepped)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name + QStringLiteral("Field"));
    edit->setReadOnly(true);
    edit->setFocusPolicy(Qt::NoFocus);
    edit->setGeometry(field);
    const int half = field.height() / 2;
    for (const bool up : {true, false}) {
        auto* button = new QToolButton(parent);
        button->setObjectName(name + (up ? QStringLiteral("Up") : QStringLiteral("Down")));
        button->setArrowType(up ? Qt::UpArrow : Qt::DownArrow);
        button->setFocusPolicy(Qt::NoFocus);
        button->setAutoRepeat(true);
        button->setGeometry(field.right() + 1, field.top() + (up ? 0 : half), kSpinWidth,
                            up ? half : field.height() - half);
        QObject::connect(button, &QToolButton::clicked, parent, [stepped, up] { stepped(up); });
    }
    return edit;
}

void SetList(QComboBox* box, const core::ListState& list)
{
    const QSignalBlocker blocker(box);
    QStringList entries;
    for (const std::string& entry : list.Entries) {
        entries << Text(entry);
    }
    QStringList shown;
    for (int i = 0; i < box->count(); ++i) {
        shown << box->itemText(i);
    }
    if (shown != entries) {
        box->clear();
        box->addItems(entries);
    }
    const bool valid = list.Selected >= 0 && list.Selected < box->count();
    box->setCurrentIndex(valid ? list.Selected : -1);
}

void SetSelected(QComboBox* box, int entry)
{
    const QSignalBlocker blocker(box);
    box->setCurrentIndex(entry >= 0 && entry < box->count() ? entry : -1);
}

void SetChecked(QAbstractButton* button, bool checked)
{
    const QSignalBlocker blocker(button);
    button->setChecked(checked);
}

// Radio buttons of one frame: `selected` checked, the others clear; none for an index
// outside the set (an out-of-range value read from settings.dat).
void SetRadios(std::initializer_list<QRadioButton*> buttons, int selected)
{
    int index = 0;
    for (QRadioButton* button : buttons) {
        button->setAutoExclusive(false);
        SetChecked(button, index++ == selected);
        button->setAutoExclusive(true);
    }
}

void SetText(QLineEdit* field, const std::string& text)
{
    field->setText(Text(text));
    field->setCursorPosition(0);
}

int32_t ColorValueOf(const QColor& color)
{
    return static_cast<int32_t>(color.red() | (color.green() << 8) | (color.blue() << 16));
}

QPixmap Blank()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

void DrawGear(QPainter& p)
{
    p.setPen(QPen(QColor(60, 60, 70), 1));
    p.setBrush(QColor(150, 155, 165));
    QPainterPath gear;
    for (int tooth = 0; tooth < 8; ++tooth) {
        const double angle = tooth * M_PI / 4;
        const QPointF centre(8 + 5.5 * std::cos(angle), 8 + 5.5 * std::sin(angle));
        gear.addEllipse(centre, 2.2, 2.2);
    }
    gear.addEllipse(QPointF(8, 8), 5.5, 5.5);
    p.drawPath(gear.simplified());
    p.setBrush(WindowGrey());
    p.drawEllipse(QPointF(8, 8), 2.2, 2.2);
}

void DrawThermometer(QPainter& p)
{
    p.setPen(QPen(QColor(70, 70, 70), 1));
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(6.5, 0.5, 4, 11), 2, 2);
    p.setBrush(QColor(210, 30, 30));
    p.drawEllipse(QRectF(4.5, 9.5, 8, 6));
    p.setPen(Qt::NoPen);
    p.drawRect(QRectF(7.5, 4, 2, 7));
}

void DrawChip(QPainter& p)
{
    p.setPen(QColor(150, 150, 150));
    for (int x = 4; x <= 11; x += 3) {
        p.drawLine(x, 1, x, 3);
        p.drawLine(x, 12, x, 14);
    }
    p.setPen(QColor(30, 30, 30));
    p.setBrush(QColor(50, 50, 55));
    p.drawRect(2, 3, 11, 9);
}

QPixmap DrawButtonPicture(bool ok)
{
    QPixmap pixmap = Blank();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    if (ok) {
        p.setPen(QPen(QColor(20, 140, 40), 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF({QPointF(3, 8.5), QPointF(6.5, 12), QPointF(13, 4)}));
    } else {
        p.setPen(QPen(QColor(200, 30, 30), 2.5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(4, 4), QPointF(12, 12));
        p.drawLine(QPointF(12, 4), QPointF(4, 12));
    }
    return pixmap;
}

QPushButton* MakeButton(const QString& text, const QString& name, QWidget* parent, QRect geometry)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    QFont bold = button->font();
    bold.setBold(true);
    button->setFont(bold);
    button->setGeometry(geometry);
    return button;
}

} // namespace

ColorChooser SystemColorChooser()
{
    return [](const QColor& initial, QWidget* parent) -> std::optional<QColor> {
        const QColor chosen = QColorDialog::getColor(initial, parent);
        if (!chosen.isValid()) {
            return std::nullopt;
        }
        return chosen;
    };
}

QPixmap DrawTreeIcon(int index)
{
    switch (index) {
    case core::kIconVoltages:
        return DrawRowPicture(RowPicture::Lightning);
    case core::kIconFans:
        return DrawRowPicture(RowPicture::Fan);
    case core::kIconCpu:
        return DrawRowPicture(RowPicture::Processor);
    case core::kIconSys:
        return DrawRowPicture(RowPicture::Board);
    case core::kIconAux:
        return DrawRowPicture(RowPicture::Box);
    case core::kIconDisk:
        return DrawRowPicture(RowPicture::Disk);
    default:
        break;
    }
    QPixmap pixmap = Blank();
    if (index < 0 || index >= kTreeIconCount) {
        return pixmap;
    }
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    if (index == core::kIconGeneral) {
        DrawGear(p);
    } else if (index == core::kIconTemperatures) {
        DrawThermometer(p);
    } else {
        DrawChip(p);
    }
    return pixmap;
}

OptionsWindow::OptionsWindow(core::OptionsPresenter& presenter, platform::PlatformFamily family, ColorChooser chooser,
                             QWidget* parent)
    : QDialog(parent), m_presenter(presenter), m_chooser(std::move(chooser))
{
    setObjectName(QStringLiteral("TOptionsForm"));
    setModal(false);
    setFixedSize(core::kOptionsWidth, core::kOptionsHeight);
    CaptionBar* caption = DecorateWindow(this, QString::fromLatin1(core::kOptionsCaption), false);
    caption->setGeometry(0, 0, width(), kCaptionHeight);
    // The frame's close control hides the dialog; unlike "Cancel" it keeps a previewed opacity.
    connect(caption, &CaptionBar::CloseClicked, this, &QWidget::hide);
    QPalette grey = palette();
    grey.setColor(QPalette::Window, FromColorValue(core::kDialogColor));
    setPalette(grey);

    auto* client = new QWidget(this);
    client->setGeometry(kFrameBorder, kCaptionHeight, kClientWidth, height() - kCaptionHeight - kFrameBorder);

    m_tree = new QTreeWidget(client);
    m_tree->setObjectName(QStringLiteral("OptionsTree"));
    m_tree->setGeometry(RectOf(layout::kTree));
    m_tree->setHeaderHidden(true);
    m_tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tree->setIconSize(QSize(16, 16));
    m_tree->setRootIsDecorated(true);
    // The page follows the current item, however it moved (click, arrow keys, Home, End,
    // typing); a click on the current item shows its page again.
    const auto showNode = [this](QTreeWidgetItem* item) {
        if (item == nullptr) {
            return;
        }
        const int node = item->data(0, Qt::UserRole).toInt();
        Act([node](OptionsPresenter& p) { p.TreeClick(node); });
    };
    connect(m_tree, &QTreeWidget::currentItemChanged, this,
            [showNode](QTreeWidgetItem* current, QTreeWidgetItem*) { showNode(current); });
    connect(m_tree, &QTreeWidget::itemClicked, this, [showNode](QTreeWidgetItem* item, int) { showNode(item); });

    auto* area = new QWidget(client);
    area->setGeometry(RectOf(layout::kPageArea));
    // Created in stacking order: General lowest, then the summary, then the sensor page.
    BuildGeneralPage(area);
    m_summaryPage = MakeFrame(QString(), QStringLiteral("SummaryPage"), area, QRect(0, 0, kPageWidth, kPageHeight));
    m_summaryLine = new QLabel(m_summaryPage);
    m_summaryLine->setObjectName(QStringLiteral("SummaryLine"));
    m_summaryLine->setGeometry(RectOf(layout::kSummaryLine));
    BuildSensorPage(area);
    // A page left visible above the General page must hide it, not show both blended: the
    // widgets are see-through unless they fill their own background.
    for (QWidget* page : {m_generalPage, static_cast<QWidget*>(m_summaryPage), static_cast<QWidget*>(m_sensorPage)}) {
        page->setAutoFillBackground(true);
    }

    auto* reset =
        MakeButton(Text(layout::kResetText), QStringLiteral("ResetButton"), client, RectOf(layout::kResetButton));
    auto* cancel =
        MakeButton(Text(layout::kCancelText), QStringLiteral("CancelButton"), client, RectOf(layout::kCancelButton));
    auto* ok = MakeButton(Text(layout::kOkText), QStringLiteral("OkButton"), client, RectOf(layout::kOkButton));
    // Windows 9x shows the captions alone.
    if (family == platform::PlatformFamily::NtFamily) {
        ok->setIcon(QIcon(DrawButtonPicture(true)));
        cancel->setIcon(QIcon(DrawButtonPicture(false)));
    }
    connect(reset, &QPushButton::clicked, this, &OptionsWindow::ResetClicked);
    connect(cancel, &QPushButton::clicked, this, &OptionsWindow::CancelClicked);
    connect(ok, &QPushButton::clicked, this, &OptionsWindow::OkClicked);

    BuildTree();
    Render();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->geometry().center() - QPoint(width() / 2, height() / 2));
    }
}

void OptionsWindow::BuildTree()
{
    const std::vector<core::TreeNode>& nodes = m_presenter.Tree();
    m_items.assign(nodes.size(), nullptr);
    for (size_t i = 0; i < nodes.size(); ++i) {
        const core::TreeNode& node = nodes[i];
        const bool child = node.Parent >= 0 && static_cast<size_t>(node.Parent) < i && m_items[node.Parent] != nullptr;
        auto* item =
            child ? new QTreeWidgetItem(m_items[static_cast<size_t>(node.Parent)]) : new QTreeWidgetItem(m_tree);
        item->setText(0, Text(node.Text));
        item->setIcon(0, QIcon(DrawTreeIcon(node.Icon)));
        item->setData(0, Qt::UserRole, static_cast<int>(i));
        m_items[i] = item;
    }
}

void OptionsWindow::BuildSensorPage(QWidget* area)
{
    m_sensorPage = MakeFrame(QString(), QStringLiteral("SensorPage"), area, QRect(0, 0, kPageWidth, kPageHeight));
    QGroupBox* page = m_sensorPage;
    m_sensorEnabled = MakeCheckBox(Text(layout::kEnabledText), QStringLiteral("SensorEnabled"), page,
                                   layout::kSensorEnabled.X, layout::kSensorEnabled.Y);
    connect(m_sensorEnabled, &QCheckBox::clicked, this,
            [this](bool on) { Act([on](OptionsPresenter& p) { p.EnabledClick(on); }); });

    m_sensorFrame = MakeFrame(QString(), QStringLiteral("SensorFrame"), page, RectOf(layout::kSensorFrame));
    MakeLabel(Text(layout::kChipLabelText), m_sensorFrame, layout::kChipLabel.X, layout::kChipLabel.Y);
    m_chipList = MakeList(QStringLiteral("ChipList"), m_sensorFrame, RectOf(layout::kChipList));
    MakeLabel(Text(layout::kSensorLabelText), m_sensorFrame, layout::kSensorLabel.X, layout::kSensorLabel.Y);
    m_sensorList = MakeList(QStringLiteral("SensorList"), m_sensorFrame, RectOf(layout::kSensorList));
    connect(m_chipList, &QComboBox::activated, this,
            [this](int entry) { Act([entry](OptionsPresenter& p) { p.ChipChosen(entry); }); });
    connect(m_sensorList, &QComboBox::activated, this,
            [this](int entry) { Act([entry](OptionsPresenter& p) { p.SensorChosen(entry); }); });

    auto* alarm =
        MakeFrame(Text(layout::kAlarmFrameText), QStringLiteral("AlarmFrame"), page, RectOf(layout::kAlarmFrame));
    m_alarmEnabled = MakeCheckBox(Text(layout::kAlarmEnabledText), QStringLiteral("AlarmEnabled"), alarm,
                                  layout::kAlarmEnabled.X, layout::kAlarmEnabled.Y);
    connect(m_alarmEnabled, &QCheckBox::clicked, this,
            [this](bool on) { Act([on](OptionsPresenter& p) { p.AlarmEnabledClick(on); }); });
    MakeLabel(Text(layout::kMinLabelText), alarm, layout::kMinLabel.X, layout::kMinLabel.Y);
    m_minField = MakeSpinField(QStringLiteral("Min"), alarm, RectOf(layout::kMinField),
                               [this](bool up) { Act([up](OptionsPresenter& p) { p.MinSpin(up); }); });
    MakeLabel(Text(layout::kMaxLabelText), alarm, layout::kMaxLabel.X, layout::kMaxLabel.Y);
    m_maxField = MakeSpinField(QStringLiteral("Max"), alarm, RectOf(layout::kMaxField),
                               [this](bool up) { Act([up](OptionsPresenter& p) { p.MaxSpin(up); }); });

    m_correctionFrame = MakeFrame(Text(layout::kCorrectionFrameText), QStringLiteral("CorrectionFrame"), page,
                                  RectOf(layout::kCorrectionFrame));
    m_correctionField = MakeSpinField(QStringLiteral("Correction"), m_correctionFrame, RectOf(layout::kCorrectionField),
                                      [this](bool up) { Act([up](OptionsPresenter& p) { p.CorrectionSpin(up); }); });

    m_fanFrame = MakeFrame(Text(layout::kFanFrameText), QStringLiteral("FanFrame"), page, RectOf(layout::kFanFrame));
    m_fanControlEnabled = MakeCheckBox(Text(layout::kEnabledText), QStringLiteral("FanControlEnabled"), m_fanFrame,
                                       layout::kFanControlEnabled.X, layout::kFanControlEnabled.Y);
    connect(m_fanControlEnabled, &QCheckBox::clicked, this,
            [this](bool on) { Act([on](OptionsPresenter& p) { p.FanControlClick(on); }); });
    MakeLabel(Text(layout::kRegisterLabelText), m_fanFrame, layout::kRegisterLabel.X, layout::kRegisterLabel.Y);
    m_registerList = MakeList(QStringLiteral("RegisterList"), m_fanFrame, RectOf(layout::kRegisterList));
    connect(m_registerList, &QComboBox::activated, this,
            [this](int entry) { Act([entry](OptionsPresenter& p) { p.RegisterChosen(entry); }); });
    MakeLabel(Text(layout::kSourceLabelText), m_fanFrame, layout::kSourceLabel.X, layout::kSourceLabel.Y);
    m_sourceList = MakeList(QStringLiteral("SourceList"), m_fanFrame, RectOf(layout::kSourceList));
    for (const char* source : layout::kSourceTexts) {
        m_sourceList->addItem(Text(source));
    }
    connect(m_sourceList, &QComboBox::activated, this,
            [this](int entry) { Act([entry](OptionsPresenter& p) { p.SourceChosen(entry); }); });
    MakeLabel(Text(layout::kNominalLabelText), m_fanFrame, layout::kNominalLabel.X, layout::kNominalLabel.Y);
    m_nominalField = MakeSpinField(QStringLiteral("Nominal"), m_fanFrame, RectOf(layout::kNominalField),
                                   [this](bool up) { Act([up](OptionsPresenter& p) { p.NominalSpin(up); }); });
    // Beside the page title: why a kernel pwm output cannot be driven.
    m_fanProblem = new QLabel(page);
    m_fanProblem->setObjectName(QStringLiteral("FanProblem"));
    m_fanProblem->setGeometry(RectOf(layout::kFanProblem));
    m_fanProblem->setWordWrap(true);
    m_fanProblem->setStyleSheet(QStringLiteral("color: #a00000"));
}

void OptionsWindow::BuildGeneralPage(QWidget* area)
{
    m_generalPage = new QWidget(area);
    m_generalPage->setObjectName(QStringLiteral("GeneralPage"));
    m_generalPage->setGeometry(0, 0, kPageWidth, kPageHeight);
    QWidget* page = m_generalPage;

    auto* start =
        MakeFrame(Text(layout::kStartFrameText), QStringLiteral("StartFrame"), page, RectOf(layout::kStartFrame));
    m_runWithWindows = MakeCheckBox(Text(m_presenter.General().RunWithWindowsText), QStringLiteral("RunWithWindows"),
                                    start, layout::kRunWithWindows.X, layout::kRunWithWindows.Y);
    m_startMinimized = MakeCheckBox(Text(layout::kStartMinimizedText), QStringLiteral("StartMinimized"), start,
                                    layout::kStartMinimized.X, layout::kStartMinimized.Y);
    connect(m_runWithWindows, &QCheckBox::clicked, this,
            [this](bool on) { Act([on](OptionsPresenter& p) { p.RunWithWindowsClick(on); }); });
    connect(m_startMinimized, &QCheckBox::clicked, this,
            [this](bool on) { Act([on](OptionsPresenter& p) { p.StartMinimizedClick(on); }); });

    const QRect stateRect = RectOf(layout::kModeFrame);
    auto* state = MakeFrame(Text(layout::kModeFrameText), QStringLiteral("ModeFrame"), page, stateRect);
    const char* modeNames[3] = {"ModeOnDesktop", "ModeOnTop", "ModeNormal"};
    for (int mode = 0; mode < 3; ++mode) {
        m_modeButtons[mode] =
            MakeRadio(Text(layout::kModeTexts[static_cast<size_t>(mode)]), QString::fromLatin1(modeNames[mode]), state,
                      10, layout::kModeTop + layout::kRadioSpacing * mode);
        connect(m_modeButtons[mode], &QRadioButton::clicked, this,
                [this, mode] { Act([mode](OptionsPresenter& p) { p.WindowModeClick(mode); }); });
    }
    m_styleFrame = MakeFrame(Text(layout::kModeFrameText), QStringLiteral("StyleFrame"), page, stateRect);
    m_styleNormal =
        MakeRadio(Text(layout::kStyleTexts[0]), QStringLiteral("StyleNormal"), m_styleFrame, 10, layout::kModeTop);
    m_styleSimple = MakeRadio(Text(layout::kStyleTexts[1]), QStringLiteral("StyleSimple"), m_styleFrame, 10,
                              layout::kModeTop + layout::kRadioSpacing);
    connect(m_styleNormal, &QRadioButton::clicked, this,
            [this] { Act([](OptionsPresenter& p) { p.WindowStyleClick(0); }); });
    connect(m_styleSimple, &QRadioButton::clicked, this,
            [this] { Act([](OptionsPresenter& p) { p.WindowStyleClick(1); }); });

    auto* alpha =
        MakeFrame(Text(layout::kAlphaFrameText), QStringLiteral("AlphaFrame"), page, RectOf(layout::kAlphaFrame));
    m_alphaBar = new QSlider(Qt::Horizontal, alpha);
    m_alphaBar->setObjectName(QStringLiteral("AlphaBar"));
    m_alphaBar->setRange(0, core::kAlphaMax);
    m_alphaBar->setSingleStep(1);
    m_alphaBar->setPageStep(1);
    m_alphaBar->setTickPosition(QSlider::NoTicks);
    m_alphaBar->setGeometry(RectOf(layout::kAlphaBar));
    connect(m_alphaBar, &QSlider::valueChanged, this,
            [this](int position) { Act([position](OptionsPresenter& p) { p.AlphaMoved(position); }); });

    auto* refresh =
        MakeFrame(Text(layout::kRefreshFrameText), QStringLiteral("RefreshFrame"), page, RectOf(layout::kRefreshFrame));
    MakeLabel(Text(layout::kDiskIntervalLabelText), refresh, layout::kDiskIntervalLabel.X,
              layout::kDiskIntervalLabel.Y);
    m_diskIntervalField =
        MakeSpinField(QStringLiteral("DiskInterval"), refresh, RectOf(layout::kDiskIntervalField),
                      [this](bool up) { Act([up](OptionsPresenter& p) { p.DiskIntervalSpin(up); }); });
    MakeLabel(Text(layout::kSensorIntervalLabelText), refresh, layout::kSensorIntervalLabel.X,
              layout::kSensorIntervalLabel.Y);
    m_sensorIntervalField =
        MakeSpinField(QStringLiteral("SensorInterval"), refresh, RectOf(layout::kSensorIntervalField),
                      [this](bool up) { Act([up](OptionsPresenter& p) { p.SensorIntervalSpin(up); }); });

    auto* tray = MakeFrame(Text(layout::kTrayFrameText), QStringLiteral("TrayFrame"), page, RectOf(layout::kTrayFrame));
    m_traySourceList = MakeList(QStringLiteral("TraySourceList"), tray, RectOf(layout::kTraySourceList));
    for (const char* source : layout::kTraySourceTexts) {
        m_traySourceList->addItem(Text(source));
    }
    connect(m_traySourceList, &QComboBox::activated, this,
            [this](int entry) { Act([entry](OptionsPresenter& p) { p.TraySourceChosen(entry); }); });
    m_celsius =
        MakeRadio(Text(layout::kCelsiusText), QStringLiteral("Celsius"), tray, layout::kCelsius.X, layout::kCelsius.Y);
    m_fahrenheit = MakeRadio(Text(layout::kFahrenheitText), QStringLiteral("Fahrenheit"), tray, layout::kFahrenheit.X,
                             layout::kFahrenheit.Y);
    connect(m_celsius, &QRadioButton::clicked, this,
            [this] { Act([](OptionsPresenter& p) { p.TrayUnitClick(false); }); });
    connect(m_fahrenheit, &QRadioButton::clicked, this,
            [this] { Act([](OptionsPresenter& p) { p.TrayUnitClick(true); }); });
    MakeLabel(Text(layout::kColorLabelText), tray, layout::kColorLabel.X, layout::kColorLabel.Y);
    m_colorSwatch = new QToolButton(tray);
    m_colorSwatch->setObjectName(QStringLiteral("TrayColorSwatch"));
    m_colorSwatch->setGeometry(RectOf(layout::kColorSwatch));
    m_colorSwatch->setCursor(Qt::PointingHandCursor);
    connect(m_colorSwatch, &QToolButton::clicked, this, &OptionsWindow::ChooseTrayColor);
}

void OptionsWindow::Act(const std::function<void(core::OptionsPresenter&)>& action)
{
    action(m_presenter);
    Render();
}

void OptionsWindow::ChooseTrayColor()
{
    const std::optional<QColor> chosen = m_chooser(m_lastColor, this);
    if (!chosen || !chosen->isValid()) {
        return;
    }
    m_lastColor = *chosen;
    const int32_t value = ColorValueOf(*chosen);
    Act([value](OptionsPresenter& p) { p.TrayColorChosen(value); });
}

void OptionsWindow::Render()
{
    RenderTree();
    m_generalPage->setVisible(m_presenter.PageVisible(core::OptionsPage::General));
    m_summaryPage->setVisible(m_presenter.PageVisible(core::OptionsPage::Summary));
    m_sensorPage->setVisible(m_presenter.PageVisible(core::OptionsPage::Sensor));
    m_summaryPage->setTitle(Text(m_presenter.Summary().Title));
    m_summaryLine->setText(Text(m_presenter.Summary().Line));
    RenderSensorPage();
    RenderGeneralPage();
}

void OptionsWindow::RenderTree()
{
    // Built once: the presenter's tree is fixed for the dialog's life.
    if (m_items.size() != m_presenter.Tree().size()) {
        const QSignalBlocker quiet(m_tree); // building shows no page
        m_tree->clear();
        BuildTree();
    }
}

void OptionsWindow::RenderSensorPage()
{
    const core::SensorPage& s = m_presenter.Sensor();
    m_sensorPage->setTitle(Text(s.Title));
    SetChecked(m_sensorEnabled, s.Enabled);
    m_sensorFrame->setTitle(Text(s.FrameTitle));
    SetList(m_chipList, s.ChipList);
    SetList(m_sensorList, s.SensorList);
    for (QComboBox* list : {m_chipList, m_sensorList}) {
        list->setEnabled(s.ListsEnabled);
        QPalette colours = m_sensorFrame->palette();
        if (s.ListsColor) {
            const QColor background = FromColorValue(*s.ListsColor);
            for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
                colours.setColor(group, QPalette::Base, background);
                colours.setColor(group, QPalette::Button, background);
            }
        } else {
            colours.setColor(QPalette::Base, QPalette().color(QPalette::Base));
        }
        list->setPalette(colours);
    }
    SetChecked(m_alarmEnabled, s.AlarmEnabled);
    SetText(m_minField, s.MinText);
    SetText(m_maxField, s.MaxText);
    SetText(m_correctionField, s.CorrectionText);
    m_correctionFrame->setVisible(s.CorrectionFrameVisible);

    m_fanFrame->setVisible(s.FanFrameVisible);
    SetChecked(m_fanControlEnabled, s.FanControlEnabled);
    SetList(m_registerList, s.RegisterList);
    SetSelected(m_sourceList, s.SourceSelected);
    SetText(m_nominalField, s.NominalText);
    m_fanProblem->setText(QString::fromStdString(s.FanProblem));
    m_fanProblem->setVisible(s.FanFrameVisible && !s.FanProblem.empty());
}

void OptionsWindow::RenderGeneralPage()
{
    const core::GeneralPage& g = m_presenter.General();
    SetChecked(m_runWithWindows, g.RunWithWindows);
    m_runWithWindows->setEnabled(g.RunWithWindowsEnabled);
    SetChecked(m_startMinimized, g.StartMinimized);
    SetRadios({m_modeButtons[0], m_modeButtons[1], m_modeButtons[2]}, g.WindowMode);
    m_styleFrame->setVisible(g.StyleFrameVisible);
    SetRadios({m_styleNormal, m_styleSimple}, g.StyleNormalChecked ? 0 : 1);
    SetText(m_diskIntervalField, g.DiskIntervalText);
    SetText(m_sensorIntervalField, g.SensorIntervalText);
    {
        const QSignalBlocker blocker(m_alphaBar);
        m_alphaBar->setValue(g.AlphaPosition);
    }
    m_alphaBar->setEnabled(g.AlphaEnabled);
    SetSelected(m_traySourceList, g.TraySourceSelected);
    SetRadios({m_celsius, m_fahrenheit}, g.Fahrenheit ? 1 : 0);
    m_colorSwatch->setStyleSheet(QStringLiteral("QToolButton { background: %1; border: 1px solid black; }")
                                     .arg(FromColorValue(g.TrayColor).name()));
}

void OptionsWindow::reject()
{
    hide();
}

void OptionsWindow::paintEvent(QPaintEvent*)
{
    PaintWindowOutline(this);
}

} // namespace calventa::ui
