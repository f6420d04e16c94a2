// Every window stays readable whatever palette the desktop hands Qt: each control's text
// against the background it is drawn on, in the colours the control's palette gives it.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStyle>
#include <QToolButton>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <cmath>
#include <string>
#include <vector>

#include "case_name.h"
#include "ui/qt/about_window.h"
#include "ui/qt/alarm_window.h"
#include "ui/qt/artwork.h"
#include "ui/qt/history_window.h"
#include "ui/qt/main_window.h"
#include "ui/qt/notice_window.h"
#include "ui/qt/options_window.h"
#include "ui/qt/service_progress_window.h"
#include "ui/qt/window_frame.h"
#include "ui_test_support.h"

namespace calventa::uitest {
namespace {

// WCAG 2 relative luminance and contrast ratio.
double Luminance(const QColor& colour)
{
    const auto channel = [](int value) {
        const double v = value / 255.0;
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    const QColor rgb = colour.toRgb();
    return 0.2126 * channel(rgb.red()) + 0.7152 * channel(rgb.green()) + 0.0722 * channel(rgb.blue());
}

double Contrast(const QColor& a, const QColor& b)
{
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

constexpr double kReadable = 4.5;
// Disabled controls are meant to look faint; they must still be legible.
constexpr double kDisabledReadable = 3.0;

// A desktop theme's dark palette, as a dark GTK or KDE theme hands it to Qt.
QPalette DarkDesktopPalette()
{
    QPalette dark;
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        const bool disabled = group == QPalette::Disabled;
        dark.setColor(group, QPalette::Window, QColor(0x35, 0x35, 0x35));
        dark.setColor(group, QPalette::WindowText, disabled ? QColor(0x7F, 0x7F, 0x7F) : QColor(0xEE, 0xEE, 0xEC));
        dark.setColor(group, QPalette::Base, QColor(0x2D, 0x2D, 0x2D));
        dark.setColor(group, QPalette::AlternateBase, QColor(0x42, 0x42, 0x42));
        dark.setColor(group, QPalette::Text, disabled ? QColor(0x7F, 0x7F, 0x7F) : QColor(0xEE, 0xEE, 0xEC));
        dark.setColor(group, QPalette::Button, QColor(0x3C, 0x3C, 0x3C));
        dark.setColor(group, QPalette::ButtonText, disabled ? QColor(0x7F, 0x7F, 0x7F) : QColor(0xEE, 0xEE, 0xEC));
        dark.setColor(group, QPalette::Highlight, QColor(0x15, 0x53, 0x9E));
        dark.setColor(group, QPalette::HighlightedText, Qt::white);
        dark.setColor(group, QPalette::Light, QColor(0x50, 0x50, 0x50));
        dark.setColor(group, QPalette::Mid, QColor(0x25, 0x25, 0x25));
        dark.setColor(group, QPalette::Dark, QColor(0x20, 0x20, 0x20));
        dark.setColor(group, QPalette::PlaceholderText, QColor(0x90, 0x90, 0x90));
    }
    return dark;
}

struct DesktopTheme
{
    const char* Name;
    QPalette (*Palette)();
};

void PrintTo(const DesktopTheme& theme, std::ostream* out)
{
    *out << theme.Name;
}

const char* GroupName(QPalette::ColorGroup group)
{
    return group == QPalette::Disabled ? "disabled" : group == QPalette::Inactive ? "inactive" : "active";
}

const DesktopTheme kThemes[] = {
    {"dark desktop", DarkDesktopPalette},
    {"light desktop", [] { return QApplication::style()->standardPalette(); }},
};

struct Finding
{
    std::string Where;
    double Ratio;
};

std::string NameOf(const QWidget* widget)
{
    std::string name = widget->metaObject()->className();
    if (!widget->objectName().isEmpty()) {
        name += " " + widget->objectName().toStdString();
    }
    if (const auto* label = qobject_cast<const QLabel*>(widget)) {
        name += " \"" + label->text().left(20).toStdString() + "\"";
    } else if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
        name += " \"" + button->text().left(20).toStdString() + "\"";
    }
    return name;
}

// The colour pairs a control draws its text with: text role on background role.
std::vector<std::pair<QPalette::ColorRole, QPalette::ColorRole>> PairsOf(const QWidget* widget)
{
    using R = QPalette::ColorRole;
    if (qobject_cast<const QHeaderView*>(widget) != nullptr) {
        return {{R::ButtonText, R::Button}};
    }
    if (qobject_cast<const QAbstractItemView*>(widget) != nullptr ||
        qobject_cast<const QLineEdit*>(widget) != nullptr || qobject_cast<const QPlainTextEdit*>(widget) != nullptr) {
        return {{R::Text, R::Base}, {R::HighlightedText, R::Highlight}};
    }
    if (qobject_cast<const QComboBox*>(widget) != nullptr) {
        return {{R::ButtonText, R::Button}};
    }
    if (qobject_cast<const QLabel*>(widget) != nullptr || qobject_cast<const QGroupBox*>(widget) != nullptr ||
        widget->inherits("QCheckBox") || widget->inherits("QRadioButton")) {
        return {{R::WindowText, R::Window}};
    }
    if (qobject_cast<const QAbstractButton*>(widget) != nullptr) {
        return {{R::ButtonText, R::Button}};
    }
    return {};
}

// What draws no text: pictures, empty labels, the colour swatch; the caption strip's own white
// on its gradient; and the alarm's red, which is the program's alarm colour on every desktop.
bool Exempt(const QWidget* widget)
{
    for (const QWidget* up = widget; up != nullptr; up = up->parentWidget()) {
        if (qobject_cast<const ui::CaptionBar*>(up) != nullptr) {
            return true;
        }
    }
    if (const auto* label = qobject_cast<const QLabel*>(widget)) {
        return label->text().isEmpty() || label->palette().color(QPalette::WindowText) == ui::FromColorValue(255);
    }
    if (const auto* tool = qobject_cast<const QToolButton*>(widget)) {
        return tool->text().isEmpty() && tool->arrowType() == Qt::NoArrow;
    }
    return false;
}

// Every control of `window` (and the lists of its combo boxes) whose text falls under the limit.
std::vector<Finding> UnreadableControls(QWidget& window)
{
    std::vector<Finding> found;
    QList<QWidget*> widgets = window.findChildren<QWidget*>();
    widgets.prepend(&window);
    for (QComboBox* box : window.findChildren<QComboBox*>()) {
        widgets.append(box->view());
    }
    for (const QWidget* widget : widgets) {
        if (Exempt(widget)) {
            continue;
        }
        const QPalette palette = widget->palette();
        for (const auto& [text, background] : PairsOf(widget)) {
            for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
                const double ratio = Contrast(palette.color(group, text), palette.color(group, background));
                const double limit = group == QPalette::Disabled ? kDisabledReadable : kReadable;
                if (ratio < limit) {
                    found.push_back({NameOf(widget) + " " + GroupName(group) + " roles " + std::to_string(text) + "/" +
                                         std::to_string(background),
                                     ratio});
                }
            }
        }
    }
    return found;
}

class WindowsUnderADesktopPalette : public ::testing::TestWithParam<DesktopTheme>
{
protected:
    void SetUp() override
    {
        m_saved = QApplication::palette();
        QApplication::setPalette(GetParam().Palette());
    }
    void TearDown() override { QApplication::setPalette(m_saved); }

    static void ExpectReadableAndLight(QWidget& window, const char* what)
    {
        for (const Finding& finding : UnreadableControls(window)) {
            ADD_FAILURE() << what << ": " << finding.Where << " contrast " << finding.Ratio;
        }
        // The same light window on every desktop, not dark on one and light on another.
        EXPECT_GT(Luminance(window.palette().color(QPalette::Window)), 0.4) << what;
    }

private:
    QPalette m_saved;
};

TEST_P(WindowsUnderADesktopPalette, EveryWindowDrawsItsTextReadablyOnItsOwnLightGrey)
{
    DesktopFixture fixture(kChipBoard);
    fixture.app->Start();
    fixture.app->SettingsClick();
    fixture.app->HistoryClick();
    ASSERT_NE(fixture.app->OptionsForm(), nullptr);
    ASSERT_NE(fixture.app->HistoryForm(), nullptr);
    ASSERT_NE(fixture.app->AlarmForm(), nullptr);
    ASSERT_NE(fixture.app->ServiceForm(), nullptr);
    ExpectReadableAndLight(fixture.app->MainForm(), "main window");
    ExpectReadableAndLight(*fixture.app->OptionsForm(), "options dialog");
    ExpectReadableAndLight(*fixture.app->HistoryForm(), "history window");
    ExpectReadableAndLight(*fixture.app->AlarmForm(), "alarm window");
    ExpectReadableAndLight(*fixture.app->ServiceForm(), "service progress window");

    ui::AboutWindow about([](const QUrl&) {});
    ExpectReadableAndLight(about, "about window");
    for (const core::NoticeKind kind : {core::NoticeKind::AdminNotice, core::NoticeKind::FanWarning}) {
        ui::NoticeWindow notice(core::NoticeContentOf(kind, platform::PlatformFamily::NtFamily), kind);
        ExpectReadableAndLight(notice, "notice");
    }
}

TEST_P(WindowsUnderADesktopPalette, SensorPagesListsKeepTheProgramsColoursAfterAPageWithoutChip)
{
    DesktopFixture fixture(kChipBoard);
    fixture.app->Start();
    fixture.app->SettingsClick();
    ui::OptionsWindow& options = *fixture.app->OptionsForm();
    auto* tree = options.findChild<QTreeWidget*>(QStringLiteral("OptionsTree"));
    ASSERT_NE(tree, nullptr);
    // Walk every page: some colour the chip lists, the others give them back their colours.
    for (QTreeWidgetItemIterator it(tree); *it != nullptr; ++it) {
        tree->setCurrentItem(*it);
        for (const char* name : {"ChipList", "SensorList"}) {
            auto* list = options.findChild<QComboBox*>(QString::fromLatin1(name));
            ASSERT_NE(list, nullptr);
            const QPalette palette = list->palette();
            EXPECT_GE(Contrast(palette.color(QPalette::Text), palette.color(QPalette::Base)), kReadable)
                << name << " on " << (*it)->text(0).toStdString();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Themes, WindowsUnderADesktopPalette, ::testing::ValuesIn(kThemes),
                         [](const ::testing::TestParamInfo<DesktopTheme>& theme) {
                             return testnames::CaseName(theme.param.Name);
                         });

TEST(ProgramPalette, EveryGroupHasReadableTextOnEachBackground)
{
    const QPalette palette = ui::ProgramPalette(ui::WindowGrey());
    using R = QPalette::ColorRole;
    const std::pair<R, R> pairs[] = {{R::WindowText, R::Window},       {R::Text, R::Base},
                                     {R::ButtonText, R::Button},       {R::HighlightedText, R::Highlight},
                                     {R::ToolTipText, R::ToolTipBase}, {R::Text, R::AlternateBase}};
    for (const auto& [text, background] : pairs) {
        for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
            EXPECT_GE(Contrast(palette.color(group, text), palette.color(group, background)),
                      group == QPalette::Disabled ? kDisabledReadable : kReadable)
                << GroupName(group) << " roles " << text << "/" << background;
        }
    }
    // What is disabled looks different from what is not.
    EXPECT_NE(palette.color(QPalette::Disabled, R::ButtonText), palette.color(QPalette::Active, R::ButtonText));
}

} // namespace
} // namespace calventa::uitest
