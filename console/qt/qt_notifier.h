#pragma once

#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>

#include "console/notifier.h"

class QWidget;

namespace dalmora {

// Beep and message boxes for the core. A box is opened without a nested event loop, so the
// engine's next tick runs while it is shown; a box whose title and text match one still open
// is not opened again, so a fault repeated every tick cannot pile boxes up.
class QtNotifier : public QObject, public Notifier {
    Q_OBJECT
public:
    explicit QtNotifier(QWidget* parent = nullptr);

    void beep() override;
    void showMessage(const std::string& title, const std::string& text, MessageIcon icon) override;

    [[nodiscard]] int openBoxCount() const { return static_cast<int>(open_.size()); }

private:
    QWidget* parent_;
    QSet<QString> open_;
};

}  // namespace dalmora
