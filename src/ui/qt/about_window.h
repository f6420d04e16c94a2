#pragma once

#include <QDialog>
#include <QLabel>
#include <QUrl>
#include <array>
#include <functional>

#include "core/program_texts.h"

class QFrame;
class QPlainTextEdit;
class QPushButton;

namespace calventa::ui {

class CaptionBar;

// How a link is opened; the program hands links to the system's browser or mail program.
using LinkOpener = std::function<void(const QUrl&)>;
LinkOpener SystemLinkOpener();

// A text that acts as a link: blue, underlined, hand cursor.
class LinkLabel : public QLabel
{
    Q_OBJECT
public:
    LinkLabel(const QString& text, QWidget* parent);

signals:
    void Clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

// TAboutForm, shown modally from the tray menu. Object names: "AboutPicture",
// "TitleLabel", "HomepageLink", "SupportLink", "AboutText", "CloseButton". Caption, title and
// addresses come from the texts of the desktop it runs on; a row without an address stays empty.
class AboutWindow : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kWidth = 332;
    static constexpr int kHeight = 255;

    explicit AboutWindow(LinkOpener opener = SystemLinkOpener(), QWidget* parent = nullptr,
                         core::AboutTexts texts = core::AboutTextsFor(core::kBuildTextPlatform));

    QUrl HomepageUrl() const;
    QUrl SupportUrl() const;

protected:
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void PlaceTexts();

    LinkOpener m_opener;
    core::AboutTexts m_texts;
    CaptionBar* m_caption = nullptr;
    QWidget* m_client = nullptr;
    QLabel* m_title = nullptr;
    QLabel* m_homepageCaption = nullptr;
    LinkLabel* m_homepage = nullptr;
    QLabel* m_supportCaption = nullptr;
    LinkLabel* m_support = nullptr;
    QPlainTextEdit* m_text = nullptr;
    QPushButton* m_close = nullptr;
    std::array<QFrame*, 3> m_separators{};
};

} // namespace calventa::ui
