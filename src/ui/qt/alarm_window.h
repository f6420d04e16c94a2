#pragma once

#include <QWidget>
#include <vector>

#include "core/alarms.h"

class QFrame;
class QLabel;
class QPushButton;

namespace calventa::ui {

class CaptionBar;

// TAlarmForm: "ALARM!" over one red line per latched slot and a "Close" button, sized and
// placed by the alarm presenter, always on top. Object names: "AlarmPanel", "AlarmTitle",
// "AlarmLine0".."AlarmLine31", "CloseButton".
class AlarmWindow : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kLabelCount = 32;

    explicit AlarmWindow(QWidget* parent = nullptr);

    // Fills and places the window and shows it, or hides it.
    void Render(const core::AlarmWindowContent& content, bool shown);
    // The labels go when the main window closes; later renders show no lines.
    void FreeAlarmLabels();
    // From now on a close of the frame really closes the window.
    void ShutDown();

signals:
    // "Close", the caption's close control or the window manager's close.
    void CloseClicked();

protected:
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    CaptionBar* m_caption = nullptr;
    QWidget* m_client = nullptr;
    QFrame* m_panel = nullptr;
    QPushButton* m_close = nullptr;
    std::vector<QLabel*> m_lines;
    bool m_shutDown = false;
};

} // namespace calventa::ui
