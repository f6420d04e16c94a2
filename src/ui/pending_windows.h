#pragma once

#include <QDialog>
#include <QWidget>

namespace calventa::ui {

// TOptionsForm until the options dialog's pages exist: it is created at start-up in its
// place in the window order and opened, not modally, by the tray's "Settings..".
class OptionsWindow : public QDialog
{
    Q_OBJECT
public:
    explicit OptionsWindow(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

// TSvcForm until the disk-service installation exists: created at start-up, never shown.
class ServiceWindow : public QWidget
{
    Q_OBJECT
public:
    explicit ServiceWindow(QWidget* parent = nullptr);
};

} // namespace calventa::ui
