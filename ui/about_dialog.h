#pragma once

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QWidget>

namespace lumas::ui {

// The About box: the product name and the build number in two lines. The company line and the
// OK button lie below the visible area; the OK button still holds the keyboard focus, so Enter
// or Space closes the box as the close box does.
class AboutDialog final : public QDialog {
    Q_OBJECT

  public:
    // `owner` is the main window; the box opens 130 pixels right of and 120 below its top-left
    // corner.
    explicit AboutDialog(QWidget* owner);

    // Placed before it first appears, so that the window manager puts its frame, not its inner
    // area, at the place.
    void setVisible(bool visible) override;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void FormShow();

    QWidget* owner_;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLabel* Label5;
    QPushButton* Button1;
};

}  // namespace lumas::ui
