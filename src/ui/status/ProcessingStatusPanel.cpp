#include "ui/status/ProcessingStatusPanel.h"

#include "ui/shared/DarkTheme.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTextBoundaryFinder>
#include <algorithm>

namespace zorbel {

namespace {

constexpr double kGap = 10;     // between the ball and the panel
constexpr double kMargin = 8;   // between the panel and the screen's edges
constexpr double kRadius = 12;  // corner radius of the panel's background

// A subview's frame given from the panel's bottom left, in the panel's own (y-down) terms.
QRect fromBottomLeft(int x, int y, int width, int height) {
    return {x, ProcessingStatusPanel::kHeight - y - height, width, height};
}

constexpr int kTextWidth = 174;  // both labels, left of the button

// The labels' frames: one line of detail below the title, or two with both moved up.
const QRect kTitleFrame = fromBottomLeft(14, 38, kTextWidth, 18);
const QRect kDetailFrame = fromBottomLeft(14, 18, kTextWidth, 16);
const QRect kRaisedTitleFrame = fromBottomLeft(14, 42, kTextWidth, 18);
const QRect kTwoLineDetailFrame = fromBottomLeft(14, 4, kTextWidth, 36);

bool fits(const QString& text, const QFontMetrics& metrics, int width, int lines) {
    const QRect bounds = metrics.boundingRect(QRect(0, 0, width, 1 << 16), Qt::TextWordWrap, text);
    return bounds.width() <= width && bounds.height() <= lines * metrics.lineSpacing();
}

/// Shows `text` in `label` within `lines` lines; a shortened text keeps the whole one as its
/// tooltip and accessible description.
void showWithin(QLabel* label, const QString& text, int lines) {
    const QString shown =
        ProcessingStatusPanel::fitted(text, label->fontMetrics(), kTextWidth, lines);
    label->setWordWrap(lines > 1);
    label->setText(shown);
    label->setToolTip(shown == text ? QString() : text);
    label->setAccessibleDescription(shown == text ? QString() : text);
}

QFont systemFont(int pointSize, QFont::Weight weight = QFont::Normal) {
    QFont font;
    font.setPointSize(pointSize);
    font.setWeight(weight);
    return font;
}

}  // namespace

ProcessingStatusPanel::ProcessingStatusPanel(ScreenSource screens)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::WindowDoesNotAcceptFocus),
      m_screens(std::move(screens)),
      m_titleLabel(new QLabel(this)),
      m_detailLabel(new QLabel(this)),
      m_actionButton(new QPushButton(this)) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFixedSize(kWidth, kHeight);

    m_titleLabel->setFont(systemFont(13, QFont::Medium));
    m_detailLabel->setFont(systemFont(11));
    m_detailLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    DarkTheme::setTextColor(m_titleLabel, DarkTheme::kTitle);
    DarkTheme::setTextColor(m_detailLabel, DarkTheme::kSecondaryText);
    m_actionButton->setGeometry(fromBottomLeft(196, 19, 70, 26));
    m_actionButton->setFont(systemFont(12));
    m_actionButton->setFocusPolicy(Qt::NoFocus);
    connect(m_actionButton, &QPushButton::clicked, this, &ProcessingStatusPanel::actionClicked);
}

void ProcessingStatusPanel::update(const std::optional<ProcessingStatusPresentation>& presentation,
                                   const std::optional<QRectF>& anchor, ActionHandler onAction) {
    if (!presentation || !anchor) {
        hide();
        return;
    }
    m_actionHandler = std::move(onAction);
    const QString detail = presentation->detail.value_or(QString());
    const bool twoLines = !fits(detail, m_detailLabel->fontMetrics(), kTextWidth, 1);
    m_titleLabel->setGeometry(twoLines ? kRaisedTitleFrame : kTitleFrame);
    m_detailLabel->setGeometry(twoLines ? kTwoLineDetailFrame : kDetailFrame);
    showWithin(m_titleLabel, presentation->title, 1);
    showWithin(m_detailLabel, detail, twoLines ? 2 : 1);
    m_detailLabel->setVisible(presentation->detail.has_value());
    m_action = presentation->primaryAction;
    m_actionButton->setText(ProcessingStatusPresentation::buttonTitle(m_action));
    move(placement(*anchor, m_screens()).toPoint());
    show();
    raise();
    QWidget::update();
}

QString ProcessingStatusPanel::fitted(const QString& text, const QFontMetrics& metrics, int width,
                                      int lines) {
    if (fits(text, metrics, width, lines)) return text;
    const QString ellipsis = QStringLiteral("…");
    QString best;
    QTextBoundaryFinder breaks(QTextBoundaryFinder::Line, text);
    for (qsizetype at = breaks.toNextBoundary(); at > 0 && at < text.size();
         at = breaks.toNextBoundary()) {
        const QString head = text.left(at).trimmed() + ellipsis;
        if (!fits(head, metrics, width, lines)) break;
        best = head;
    }
    // A first word wider than the room is cut where it must be.
    return best.isEmpty() ? metrics.elidedText(text, Qt::ElideRight, width) : best;
}

QPointF ProcessingStatusPanel::placement(const QRectF& anchor, const QList<ScreenInfo>& screens) {
    double x = anchor.right() + kGap;
    double y = anchor.center().y() - kHeight / 2.0;
    const std::optional<ScreenInfo> screen = ScreenLayout::screenIntersecting(anchor, screens);
    if (!screen) return {x, y};
    const QRectF& f = screen->frame;
    if (x + kWidth > f.right() - kMargin) x = anchor.left() - kWidth - kGap;
    if (x < f.left() + kMargin) {
        x = anchor.center().x() - kWidth / 2.0;
        y = anchor.bottom() + kGap;  // below the ball (y grows downwards)
    }
    // Raise to the lower bound first, then lower to the upper one: on a screen narrower than
    // the panel the upper bound wins.
    x = std::min(std::max(x, f.left() + kMargin), f.right() - kWidth - kMargin);
    y = std::min(std::max(y, f.top() + kMargin), f.bottom() - kHeight - kMargin);
    return {x, y};
}

void ProcessingStatusPanel::actionClicked() {
    if (m_actionHandler) m_actionHandler(m_action);
}

void ProcessingStatusPanel::paintEvent(QPaintEvent* /*event*/) {
    DarkTheme::paintMaterial(this, DarkTheme::kStatusMaterial, kRadius);
}

}  // namespace zorbel
