// Texts of the small windows against the fonts this machine really has: nothing cut,
// nothing wrapped, captions on their link's baseline, and centring on the real frame.
#include <gtest/gtest.h>

#include <QAbstractTextDocumentLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <functional>
#include <memory>

#include "core/alarms.h"
#include "core/notice_presenter.h"
#include "ui/qt/about_window.h"
#include "ui/qt/alarm_window.h"
#include "ui/qt/artwork.h"
#include "ui/qt/notice_window.h"
#include "ui/qt/window_frame.h"

namespace calventa::uitest {
namespace {

QRect ScreenArea()
{
    return QGuiApplication::primaryScreen()->geometry();
}

// Where the label's text stands on its own line: the row of its baseline in window
// coordinates, for the vertical alignment the label uses.
int BaselineInWindow(const QLabel& label)
{
    const QFontMetrics metrics(label.font());
    const QRect box = label.contentsRect();
    const int top = (label.alignment() & Qt::AlignTop) ? box.top() : box.top() + (box.height() - metrics.height()) / 2;
    return label.mapTo(label.window(), QPoint(0, top)).y() + metrics.ascent();
}

// Every shown one-line label is at least as wide as its text and lies inside its parent
// and inside the window; no line of a text field takes more than one row or is clipped at
// the side. With `everyRowShown` every line must also have been laid out in the field's height.
void ExpectTextsFit(QWidget& window, bool everyRowShown = true)
{
    for (const QLabel* label : window.findChildren<QLabel*>()) {
        if (!label->isVisibleTo(&window) || label->text().isEmpty()) {
            continue;
        }
        const std::string name = label->text().toStdString();
        const int textWidth = QFontMetrics(label->font()).horizontalAdvance(label->text());
        EXPECT_GE(label->contentsRect().width(), textWidth) << name;
        EXPECT_GE(label->contentsRect().height(), QFontMetrics(label->font()).height()) << name;
        const QWidget* parent = label->parentWidget();
        EXPECT_TRUE(parent->contentsRect().contains(label->geometry())) << name << " leaves its parent";
        const QRect inWindow(label->mapTo(&window, QPoint(0, 0)), label->size());
        EXPECT_TRUE(window.rect().contains(inWindow)) << name << " leaves the window";
    }
    for (QPlainTextEdit* field : window.findChildren<QPlainTextEdit*>()) {
        const qreal margin = field->document()->documentMargin();
        const QRect inWindow(field->mapTo(&window, QPoint(0, 0)), field->size());
        EXPECT_TRUE(window.rect().contains(inWindow)) << field->objectName().toStdString();
        for (QTextBlock block = field->document()->begin(); block.isValid(); block = block.next()) {
            const std::string line = block.text().toStdString();
            ASSERT_NE(block.layout(), nullptr) << line;
            if (everyRowShown) {
                EXPECT_EQ(block.layout()->lineCount(), 1) << "wrapped or hidden: " << line;
            } else {
                EXPECT_LE(block.layout()->lineCount(), 1) << "wrapped: " << line;
            }
            const int textWidth = QFontMetrics(field->font()).horizontalAdvance(block.text());
            EXPECT_LE(textWidth + 2 * margin, field->viewport()->width()) << "cut: " << line;
        }
    }
}

// A caption ("Homepage :") and the text right of it on its row share a baseline.
void ExpectCaptionsOnTheirRowsBaseline(QWidget& window)
{
    const QList<QLabel*> labels = window.findChildren<QLabel*>();
    for (const QLabel* caption : labels) {
        if (!caption->text().endsWith(QStringLiteral(" :"))) {
            continue;
        }
        const QRect a = caption->geometry();
        const QLabel* value = nullptr;
        for (const QLabel* other : labels) {
            const QRect b = other->geometry();
            if (other->parentWidget() == caption->parentWidget() && b.left() > a.right() && b.top() <= a.bottom() &&
                a.top() <= b.bottom() && (value == nullptr || b.left() < value->x())) {
                value = other;
            }
        }
        ASSERT_NE(value, nullptr) << caption->text().toStdString() << " has nothing beside it";
        EXPECT_EQ(BaselineInWindow(*caption), BaselineInWindow(*value)) << caption->text().toStdString();
    }
}

// The frame, as the window system reports it, stands in the middle of the screen.
void ExpectCentred(const QWidget& window)
{
    const QRect frame = window.frameGeometry();
    const QRect area = ScreenArea();
    EXPECT_LE(std::abs(frame.left() - area.left() - (area.right() - frame.right())), 1) << "left/right";
    EXPECT_LE(std::abs(frame.top() - area.top() - (area.bottom() - frame.bottom())), 1) << "top/bottom";
}

core::AlarmWindowContent AlarmContentOf(const std::vector<std::string>& lines)
{
    core::AlarmWindowContent content;
    content.Lines = lines;
    const int y = core::AlarmWindowContent::kFirstLineTop + 16 * static_cast<int>(lines.size());
    content.PanelHeight = y + 30;
    content.CloseButtonTop = y + 4;
    content.Height = content.PanelHeight + 26;
    content.Left = ScreenArea().width() - core::AlarmWindowContent::kWidth - 16;
    content.Top = ScreenArea().height() - content.Height - 56;
    return content;
}

struct AlarmCase
{
    const char* Name;
    std::vector<std::string> Lines;
};

void PrintTo(const AlarmCase& value, std::ostream* out)
{
    *out << value.Name;
}

class AlarmLinesFit : public ::testing::TestWithParam<AlarmCase>
{
};

TEST_P(AlarmLinesFit, EveryLineWholeAndTheRightEdgeAnchored)
{
    ui::AlarmWindow alarm;
    const core::AlarmWindowContent content = AlarmContentOf(GetParam().Lines);
    alarm.Render(content, true);
    ASSERT_TRUE(alarm.isVisible());
    ExpectTextsFit(alarm);
    // The window grows only by what the lines need beyond its own width, and to the left:
    // it stays 16 from the screen's right edge and keeps the presenter's height and top.
    EXPECT_GE(alarm.width(), core::AlarmWindowContent::kWidth);
    EXPECT_EQ(alarm.geometry().right(), content.Left + core::AlarmWindowContent::kWidth - 1);
    EXPECT_EQ(alarm.y(), content.Top);
    EXPECT_EQ(alarm.height(), content.Height);
    int widest = 0;
    for (const std::string& line : GetParam().Lines) {
        widest = std::max(widest, QFontMetrics(alarm.font()).horizontalAdvance(QString::fromStdString(line)));
    }
    // 12 from the panel's left, 1 from the panel's left in the client, 3 of border each side,
    // and a panel frame of 1 each side.
    const int needed = ui::kFrameBorder + 1 + core::AlarmWindowContent::kLineLeft + widest + 1 + 1 + ui::kFrameBorder;
    if (needed <= core::AlarmWindowContent::kWidth) {
        EXPECT_EQ(alarm.width(), core::AlarmWindowContent::kWidth) << "room enough: the window keeps its width";
    } else {
        EXPECT_LE(alarm.width(), needed + 1);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, AlarmLinesFit,
    ::testing::Values(AlarmCase{"TwoDigitTemperature", {"CPU temperature is 75 °C / 167 °F"}},
                      AlarmCase{"ThreeDigitTemperature", {"CPU temperature is 102 °C / 216 °F"}},
                      AlarmCase{"ThreeDigitDiskAmongOthers",
                                {"CPU fan is 0 RPM", "HD0 temperature is 127 °C / 261 °F", "+12V voltage is 10.90 V"}},
                      AlarmCase{"LowestReadingWiderThanTheWindow", {"CPU temperature is -128 °C / -198 °F"}},
                      AlarmCase{"LongerThanAnyPresenterLine", {std::string(60, 'W')}}),
    [](const ::testing::TestParamInfo<AlarmCase>& info) { return std::string(info.param.Name); });

TEST(AlarmLinesFit, ShorterListsGiveTheWidthBack)
{
    ui::AlarmWindow alarm;
    alarm.Render(AlarmContentOf({std::string(60, 'W')}), true);
    ASSERT_GT(alarm.width(), core::AlarmWindowContent::kWidth);
    const core::AlarmWindowContent content = AlarmContentOf({"CPU temperature is 75 °C / 167 °F"});
    alarm.Render(content, true);
    EXPECT_EQ(alarm.geometry(), QRect(content.Left, content.Top, core::AlarmWindowContent::kWidth, content.Height));
}

// A window built at one font and shown at another: its texts follow the font.
struct FontCase
{
    const char* Name;
    std::function<std::unique_ptr<QWidget>()> Make;
    int PointSize;
};

void PrintTo(const FontCase& value, std::ostream* out)
{
    *out << value.Name
         << (value.PointSize == 0 ? std::string(" at the window font")
                                  : " at " + std::to_string(value.PointSize) + " pt");
}

std::unique_ptr<QWidget> MakeAbout()
{
    return std::make_unique<ui::AboutWindow>([](const QUrl&) {});
}

std::unique_ptr<QWidget> MakeNotice(core::NoticeKind kind)
{
    return std::make_unique<ui::NoticeWindow>(core::NoticeContentOf(kind, platform::PlatformFamily::NtFamily), kind);
}

class SmallWindowTexts : public ::testing::TestWithParam<FontCase>
{
protected:
    std::unique_ptr<QWidget> Build()
    {
        std::unique_ptr<QWidget> window = GetParam().Make();
        if (GetParam().PointSize != 0) {
            QFont font = ui::WindowFont();
            font.setPointSize(GetParam().PointSize);
            window->setFont(font);
        }
        return window;
    }
};

TEST_P(SmallWindowTexts, NothingCutOrWrappedAndCaptionsOnTheirRowsBaseline)
{
    std::unique_ptr<QWidget> window = Build();
    const QSize described = window->size();
    window->show();
    // A face much larger than the window's own fills the text fields' height: rows below
    // their bottom are not laid out, and only the width is checked.
    ExpectTextsFit(*window, GetParam().PointSize < 10);
    ExpectCaptionsOnTheirRowsBaseline(*window);
    if (GetParam().PointSize == 0) {
        EXPECT_EQ(window->size(), described) << "the window's own font fits its described size";
    }
}

TEST_P(SmallWindowTexts, CentredOnTheScreen)
{
    std::unique_ptr<QWidget> window = Build();
    window->show();
    ExpectCentred(*window);
}

std::vector<FontCase> SmallWindowCases()
{
    std::vector<FontCase> cases;
    const std::pair<const char*, std::function<std::unique_ptr<QWidget>()>> windows[] = {
        {"About", MakeAbout},
        {"AdminNotice", [] { return MakeNotice(core::NoticeKind::AdminNotice); }},
        {"FanWarning", [] { return MakeNotice(core::NoticeKind::FanWarning); }},
    };
    for (const auto& [name, make] : windows) {
        cases.push_back({name, make, 0});
        cases.push_back({name, make, 6});
        cases.push_back({name, make, 11});
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Windows, SmallWindowTexts, ::testing::ValuesIn(SmallWindowCases()),
                         [](const ::testing::TestParamInfo<FontCase>& info) {
                             return std::string(info.param.Name) +
                                    (info.param.PointSize == 0
                                         ? std::string("AtTheWindowFont")
                                         : "At" + std::to_string(info.param.PointSize) + "Points");
                         });

TEST(CentreWhenShown, CentresTheFrameTheWindowSystemReports)
{
    // A window with the window system's own frame: its frame, not its client area, is
    // centred, also when the window manager reports the frame only after mapping it.
    QWidget framed;
    framed.resize(300, 200);
    ui::CentreWhenShown(&framed);
    framed.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return framed.frameGeometry() != framed.geometry(); }, 2000))
        << "this platform draws no frame";
    QTest::qWait(100);
    ExpectCentred(framed);
}

} // namespace
} // namespace calventa::uitest
