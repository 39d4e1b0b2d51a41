#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

namespace lvx {

class EdidDetailView;
class Prompt;
struct EdidParse;

// "EDID Details": the whole decode of the EDID last analysed (a device node, a monitor of
// this PC) or of a file opened here, of any length, with its findings and bytes. It shows
// beside the analyzer window, whose fifteen facts it completes.
class EdidDetailsWindow : public QWidget {
    Q_OBJECT
public:
    explicit EdidDetailsWindow(Prompt& prompt, QWidget* parent = nullptr);

    // Shows a parse, naming where the EDID came from ("Input 1", "card0-HDMI-A-1", a path).
    void showParse(const EdidParse& parse, const QString& source);
    // Reads a file of any length and shows it; false (with a message) when it cannot be read.
    bool openFile(const QString& path);
    // Shows the window right of `other` (the analyzer window), kept in view, and raises it.
    void showBeside(const QWidget* other);

    EdidDetailView* detailView() const { return detailView_; }
    QLabel* source() const { return source_; }

private:
    void chooseFile();

    Prompt& prompt_;
    QLabel* source_;
    QPushButton* open_;
    EdidDetailView* detailView_;
};

} // namespace lvx
