#include "app/EdidDetailsWindow.h"

#include "app/EdidDetailView.h"
#include "app/Placement.h"
#include "app/Widgets.h"
#include "common/Prompt.h"
#include "edid/EdidFileIO.h"
#include "edid/EdidParse.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace lvx {

namespace {

// More than any EDID holds (256 blocks), so that the parse can say a file is too long.
constexpr qint64 kReadLimit = 1 << 20;

} // namespace

EdidDetailsWindow::EdidDetailsWindow(Prompt& prompt, QWidget* parent)
    : QWidget(parent, Qt::Window), prompt_(prompt) {
    setObjectName(QStringLiteral("Form_EdidDetails"));
    setWindowTitle(tr("EDID Details"));
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    source_ = Named(new QLabel(tr("(no EDID)"), this), QStringLiteral("Label_EdidDetails_Source"));
    source_->setTextFormat(Qt::PlainText);
    open_ =
        Named(new QPushButton(tr("Open File..."), this), QStringLiteral("Button_EdidDetails_Open"));
    top->addWidget(source_, 1);
    top->addWidget(open_);
    layout->addLayout(top);
    detailView_ = new EdidDetailView(this);
    layout->addWidget(detailView_, 1);
    resize(900, 560);
    connect(open_, &QPushButton::clicked, this, &EdidDetailsWindow::chooseFile);
}

void EdidDetailsWindow::showParse(const EdidParse& parse, const QString& source) {
    source_->setText(tr("%1: %2 bytes, %3 blocks")
                         .arg(source)
                         .arg(static_cast<qulonglong>(parse.bytes.size()))
                         .arg(static_cast<qulonglong>(parse.blockCount)));
    detailView_->showParse(parse);
}

bool EdidDetailsWindow::openFile(const QString& path) {
    const std::optional<QByteArray> bytes = ReadFileHead(path, kReadLimit);
    if (!bytes) {
        prompt_.message("EDID Details", "Cannot open " + path.toStdString());
        return false;
    }
    const EdidParse parse = ParseEdid(reinterpret_cast<const std::uint8_t*>(bytes->constData()),
                                      static_cast<std::size_t>(bytes->size()), CurrentYear());
    showParse(parse, path);
    return true;
}

void EdidDetailsWindow::showBeside(const QWidget* other) {
    if (other != nullptr) {
        const QRect frame = other->frameGeometry();
        PlaceInView(this, QPoint(frame.right() + 1, frame.top()), other);
    }
    show();
    raise();
}

void EdidDetailsWindow::chooseFile() {
    const std::string path = prompt_.openFileName("EDID (*.bin)|*.bin|All files (*)|*");
    if (!path.empty()) {
        openFile(QString::fromStdString(path));
    }
}

} // namespace lvx
