#pragma once

#include <QString>
#include <QWidget>

#include <chrono>
#include <functional>

class QLabel;
class QMovie;
class QTimer;

namespace dalmora {

// The splash window: the first window of the program. It plays Picture/StartGif.gif of the
// program folder for six seconds, then hands over to the main window and closes itself.
// Without the animation file it stays blank for the same time; the start goes on.
class FM_Start final : public QWidget {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds kSplashTime{6000};
    static constexpr int kWidthTwips = 4845;
    static constexpr int kHeightTwips = 4005;

    // `showMain` shows the main window (its load runs then). The window deletes itself when it
    // closes; `shownFor` is the splash time, shorter only in tests.
    FM_Start(const QString& programFolder, std::function<void()> showMain,
             std::chrono::milliseconds shownFor = kSplashTime, QWidget* parent = nullptr);

    // The animation file looked for: <program folder>/Picture/StartGif.gif.
    [[nodiscard]] static QString animationPath(const QString& programFolder);

    [[nodiscard]] bool animationLoaded() const;

private:
    void Timer1_Timer();

    std::function<void()> showMain_;
    QLabel* gif1_;
    QMovie* movie_;
    QTimer* timer1_;
};

}  // namespace dalmora
