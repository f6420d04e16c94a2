#pragma once

#include <QWidget>
#include <array>
#include <vector>

#include "core/main_window_presenter.h"
#include "core/settings_block.h"

class QFrame;
class QLabel;

namespace calventa::ui {

class CaptionBar;

// TMainForm: three stacked panels of rows (icon, name, value) laid out and filled from the
// main-window presenter. Object names for lookups: "Panel0".."Panel2", "PanelTitle0".. ,
// and per slot index n "Icon<n>", "Name<n>", "Value<n>"; the nothing-found notice "NoticePanel" with
// its lines "NoticeLine<i>".
class MainWindow : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kPanelWidth = 155;
    static constexpr int kIconLeft = 8;
    static constexpr int kNameLeft = 28;
    static constexpr int kRowHeight = 16;

    explicit MainWindow(QWidget* parent = nullptr);

    // Renders the presenter; relayout moves rows and panels (BuildMainWindow), otherwise
    // only the value labels change. A minimized window stays minimized.
    void Render(const core::MainWindowPresenter& presenter, bool relayout);

    // Frameless plus the given flags (tool window, stays on top or bottom); keeps the
    // window's visibility.
    void SetExtraWindowFlags(Qt::WindowFlags flags);

    QWidget* ClientArea() const { return m_client; }

signals:
    // The caption's minimize control.
    void MinimizeClicked();
    // The window is closing, however that was asked for; it always may.
    void Closing();
    // A right click (or the menu key) anywhere in the window, at that screen position: the
    // program opens the tray's menu there, so that it is in reach without a tray.
    void MenuRequested(QPoint globalPosition);

protected:
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    struct Row
    {
        QLabel* Icon = nullptr;
        QLabel* Name = nullptr;
        QLabel* Value = nullptr;
        bool Placed = false;
    };

    void Relayout(const core::MainWindowLayout& layout);
    void WriteValue(Row& row, const core::MainWindowValue& value, bool powerLine);
    void PlaceNotice(const core::MainWindowLayout& layout);

    CaptionBar* m_caption = nullptr;
    QWidget* m_client = nullptr;
    std::array<QFrame*, 3> m_panels{};
    std::array<Row, core::kSlotCount> m_rows{};
    QFrame* m_notice = nullptr;
    std::vector<QLabel*> m_noticeLines;
};

} // namespace calventa::ui
