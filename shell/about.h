#pragma once

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

class QPlainTextEdit;
class QSvgRenderer;

namespace dalmora {

// The About window: the maker's logo over the top 30 %, under it the version line and the
// technical-support contacts in a read-only text box `Text1`. Stays above other windows.
class About final : public QWidget {
    Q_OBJECT

public:
    // `version` e.g. "1.0.0"; the window deletes itself when it closes.
    explicit About(const QString& version, QWidget* parent = nullptr);
    ~About() override;

    // The lines of `Text1`: version line, empty line, "Technique support :", eight contact
    // lines, empty line, closing line.
    [[nodiscard]] static QStringList aboutLines(const QString& version);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QSvgRenderer* logo_;
    QPlainTextEdit* text1_;
};

// Shows the one About window: creates it when there is none, else shows and raises the open one.
// `instance` is the caller's handle on it (the main window keeps it).
About* showAbout(QPointer<About>& instance, const QString& version, QWidget* parent);

}  // namespace dalmora
