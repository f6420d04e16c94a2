#pragma once

#include <QTimer>
#include <QWidget>
#include <string>
#include <vector>

class QListWidget;

namespace calventa::ui {

// TSvcForm: the progress lines of "Install Service" / "Uninstall Service" in a list box
// inside a frame, a "Close" button, and a 3000 ms timer that closes the window once
// started. Modeless; the caller steps the work and renders its lines here. Object names:
// "ProgressList", "CloseButton", "CloseTimer".
class ServiceProgressWindow : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kListWidth = 148;
    static constexpr int kListHeight = 94;

    explicit ServiceProgressWindow(QWidget* parent = nullptr);

    void SetLines(const std::vector<std::string>& lines);
    QStringList Lines() const;
    // Shows the window in the centre of the desktop.
    void ShowCentred();
    // Closes the window after `ms` unless the timer is stopped first.
    void CloseLater(int ms);
    QTimer& CloseTimer() { return m_closeTimer; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QListWidget* m_list = nullptr;
    QTimer m_closeTimer;
};

} // namespace calventa::ui
