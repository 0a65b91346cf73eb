#include "MessageDialog.h"

#include <QAccessible>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTextDocument>
#include <QTextEdit>
#include <QtMath>
#include <memory>

namespace
{

// The text's width at most, and the details' height before they scroll.
constexpr int TextWidth = 480;
constexpr int DetailsHeight = 400;

// The system's picture for icon, as its message boxes show it.
QPixmap iconPixmap(QMessageBox::Icon icon, const QWidget &dialog)
{
    QStyle::StandardPixmap shown = QStyle::SP_MessageBoxInformation;
    switch (icon) {
    case QMessageBox::Warning:
        shown = QStyle::SP_MessageBoxWarning;
        break;
    case QMessageBox::Critical:
        shown = QStyle::SP_MessageBoxCritical;
        break;
    case QMessageBox::Question:
        shown = QStyle::SP_MessageBoxQuestion;
        break;
    case QMessageBox::NoIcon:
        return {};
    default:
        break;
    }
    const QStyle *style = dialog.style();
    const int size = style->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, &dialog);
    return style->standardIcon(shown, nullptr, &dialog)
        .pixmap(QSize(size, size), dialog.devicePixelRatio());
}

} // namespace

MessageDialog::MessageDialog(QMessageBox::Icon icon, const QString &title, const QString &text,
                             QWidget *parent)
    : QDialog(parent), m_text(text)
{
    setObjectName(QStringLiteral("messageDialog"));
    setWindowTitle(title);
    const qsizetype cut = text.indexOf(QStringLiteral("\n\n"));
    const QString summary = cut < 0 ? text : text.left(cut);

    auto *grid = new QGridLayout(this);
    grid->setSizeConstraint(QLayout::SetFixedSize);
    grid->setHorizontalSpacing(style()->pixelMetric(QStyle::PM_LayoutHorizontalSpacing) * 2);
    auto *iconLabel = new QLabel(this);
    iconLabel->setObjectName(QStringLiteral("messageIcon"));
    iconLabel->setPixmap(iconPixmap(icon, *this));
    grid->addWidget(iconLabel, 0, 0, 2, 1, Qt::AlignTop);

    auto *label = new QLabel(summary, this);
    label->setObjectName(QStringLiteral("messageText"));
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    label->setFocusPolicy(Qt::ClickFocus); // the OK button keeps the keyboard
    // Each line whole while it fits: a wrapped label asks for less than it could have.
    int widest = 0;
    for (const QString &line : summary.split(QLatin1Char('\n')))
        widest = qMax(widest, label->fontMetrics().horizontalAdvance(line) + 1);
    label->setMinimumWidth(qMin(widest, TextWidth));
    label->setMaximumWidth(TextWidth);
    grid->addWidget(label, 0, 1, Qt::AlignTop);
    if (cut >= 0)
        grid->addWidget(detailsView(text.mid(cut + 2)), 1, 1);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    QPushButton *ok = buttons->button(QDialogButtonBox::Ok);
    ok->setDefault(true);
    ok->setFocus();
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    grid->addWidget(buttons, 2, 0, 1, 2);
    setAccessibleName(title);
    setAccessibleDescription(text);
}

// Sized to its text, at most TextWidth wide and DetailsHeight high.
QTextEdit *MessageDialog::detailsView(const QString &details)
{
    auto *view = new QTextEdit(this);
    view->setObjectName(QStringLiteral("messageDetails"));
    view->setFrameShape(QFrame::NoFrame);
    view->viewport()->setAutoFillBackground(false);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setReadOnly(true);
    view->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    view->setFocusPolicy(Qt::ClickFocus);
    view->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    view->document()->setDocumentMargin(0);
    view->setPlainText(details);
    // Measured on a copy: the view lays its own document out to its current width.
    const std::unique_ptr<QTextDocument> doc(view->document()->clone());
    doc->setDefaultFont(view->font());
    doc->setTextWidth(-1); // unwrapped, for the widest line
    int width = qMin(qCeil(doc->idealWidth()) + 1, TextWidth);
    doc->setTextWidth(width);
    const int height = qCeil(doc->size().height());
    if (height > DetailsHeight)
        width += view->verticalScrollBar()->sizeHint().width();
    view->setFixedSize(width, qMin(height, DetailsHeight));
    return view;
}

// Told to screen readers, and sounded, as the system's own message boxes are.
void MessageDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    QAccessibleEvent alert(this, QAccessible::Alert);
    QAccessible::updateAccessibility(&alert);
}
