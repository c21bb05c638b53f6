#pragma once

#include <QPointer>
#include <QRect>
#include <QWidget>
#include <functional>
#include <optional>

#include "llm/LLMClient.h"

namespace zorbel {

/// The small dark first-use panel: three usage steps, the processing route and a note on
/// permissions. At most one is shown at a time (`current()`); acknowledging it with either
/// button stores the content version so it is not due again. GUI thread only.
class OnboardingPanel final : public QWidget {
    Q_OBJECT
public:
    /// The acknowledged version, an integer in the standard preference store.
    static constexpr const char* versionKey = "onboarding.version";
    static constexpr int currentVersion = 2;
    static constexpr int kWidth = 340;
    static constexpr int kHeight = 236;

    /// Whether the acknowledged version is older than the current content.
    static bool needsShow();
    /// "当前处理路线：…" for the client's current preset.
    static QString routeText(const LLMClient& client);
    /// Where a panel goes for an anchor in screen coordinates: centred below it, above it when
    /// there is no room below, kept 8 points inside `screen`.
    static QPoint panelOrigin(const QRect& anchor, const std::optional<QRect>& screen);
    /// Replaces any panel shown (its `onClose` runs, nothing is acknowledged) by a new one next
    /// to `anchor`.
    static OnboardingPanel* show(const QRect& anchor, std::function<void()> onClose,
                                 const LLMClient& client);
    /// The panel shown now, or nullptr.
    static OnboardingPanel* current();

    /// Action of both buttons: acknowledges the current version, then closes.
    void closeClicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    /// Closing by any other means: nothing is acknowledged.
    void closeEvent(QCloseEvent* event) override;

private:
    OnboardingPanel(std::function<void()> onClose, const QString& route);
    void finish();

    std::function<void()> m_onClose;
    static QPointer<OnboardingPanel> s_current;
};

}  // namespace zorbel
