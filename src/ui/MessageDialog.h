#pragma once

#include <QDialog>
#include <QMessageBox>

class QLabel;
class QTextEdit;

// The window's message: an icon, the first paragraph of the text beside it and the rest,
// often a list of paths, below in a read-only view that wraps anywhere and scrolls when
// long. Every part is selectable and copies exactly what it shows; Enter or Escape closes.
class MessageDialog : public QDialog
{
    Q_OBJECT

public:
    MessageDialog(QMessageBox::Icon icon, const QString &title, const QString &text,
                  QWidget *parent = nullptr);

    // The whole text as given.
    QString text() const { return m_text; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    QTextEdit *detailsView(const QString &details);

    QString m_text;
};
