#pragma once
// The About box: what the tool is, a credit line and the maker's web address
// as a link that opens in the desktop's browser.

#include <QDialog>
#include <QLabel>

namespace zr8::ui {

// Shown in the main window's caption and opened from the About box.
inline constexpr const char* kMakerWebAddress = "https://velmora.example/zr8";

// A label that behaves like a link: underlined, in the palette's link
// colour, with the hand cursor; one press opens the address once.
class LinkLabel : public QLabel {
    Q_OBJECT
public:
    LinkLabel(const QString& address, QWidget* parent);

signals:
    void activated();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

class AboutDialog : public QDialog {
    Q_OBJECT
public:
    enum ControlId : int {
        IdHeading = 100,
        IdPurpose = 101,
        IdCredit = 102,
        IdLink = 103,
        IdExit = 2,
    };

    explicit AboutDialog(QWidget* owner);

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

// Runs the box modally over `owner`; the result is always 1.
int runAboutDialog(QWidget* owner);

}  // namespace zr8::ui
