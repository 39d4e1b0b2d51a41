#include "edid/CombineTool.h"

#include "connection/ConnectionController.h"
#include "edid/CombineSources.h"
#include "edid/EdidControllerTool.h"
#include "edid/EdidFileIO.h"
#include "edid/EdidParse.h"
#include "edid/EdidTransfer.h"
#include "protocol/ProtocolSession.h"
#include "protocol/TransferBracket.h"

#include <QFileInfo>

#include <algorithm>

namespace lvx {

std::optional<std::vector<std::uint8_t>> ReadDeviceNode(ConnectionController& connection,
                                                        EdidTransfer& transfer, NodeRef node,
                                                        QString* error) {
    if (!connection.connected() || connection.devices().count == 0 || connection.busy()) {
        *error = QStringLiteral("No device is ready.");
        return std::nullopt;
    }
    const FlowGuard flow(connection);
    bool read = false;
    {
        const TransferBracket bracket(connection.session(), transfer.serial());
        read = transfer.readNode(node);
    }
    if (!read) {
        *error = QString::fromStdString(transfer.failure());
        return std::nullopt;
    }
    const EdidImage& image = connection.deviceEdidImage();
    return AnnouncedBlocks(std::vector<std::uint8_t>(image.begin(), image.end()));
}

CombineTool::CombineTool(ConnectionController& connection, EdidControllerTool& edidTool,
                         EdidTransfer& transfer, QObject* parent)
    : QObject(parent), connection_(connection), edidTool_(edidTool), transfer_(transfer) {
    update();
}

bool CombineTool::addFile(const QString& path, QString* error) {
    std::optional<std::vector<std::uint8_t>> bytes = ReadEdidBytes(path, error);
    if (bytes) {
        addBytes(QFileInfo(path).fileName(), std::move(*bytes));
    }
    return bytes.has_value();
}

bool CombineTool::addMonitor(const QString& sysfsRoot, const QString& name, QString* error) {
    std::optional<std::vector<std::uint8_t>> bytes = MonitorEdid(sysfsRoot, name, error);
    if (bytes) {
        addBytes(name, std::move(*bytes));
    }
    return bytes.has_value();
}

bool CombineTool::addNode(NodeRef node, QString* error) {
    std::optional<std::vector<std::uint8_t>> bytes =
        ReadDeviceNode(connection_, transfer_, node, error);
    if (bytes) {
        addBytes(QString::fromStdString(NodeItemText(node)), std::move(*bytes));
    }
    return bytes.has_value();
}

void CombineTool::addBytes(const QString& name, std::vector<std::uint8_t> bytes) {
    sources_.push_back({name, std::move(bytes), false});
    update();
}

void CombineTool::remove(int index) {
    if (index < 0 || index >= static_cast<int>(sources_.size())) {
        return;
    }
    sources_.erase(sources_.begin() + index);
    identity_ = identity_ > index ? identity_ - 1 : identity_ == index ? 0 : identity_;
    update();
}

void CombineTool::setVideoOnly(int index, bool videoOnly) {
    if (index >= 0 && index < static_cast<int>(sources_.size())) {
        sources_[static_cast<std::size_t>(index)].videoOnly = videoOnly;
        update();
    }
}

void CombineTool::setIdentity(int index) {
    if (index >= 0 && index < static_cast<int>(sources_.size())) {
        identity_ = index;
        update();
    }
}

void CombineTool::setIntent(CombineIntent intent, bool on) {
    intents_[static_cast<std::size_t>(intent)] = on;
    update();
}

void CombineTool::setMaxBlocks(int blocks) {
    maxBlocks_ = std::clamp(blocks, 2, 4);
    update();
}

void CombineTool::update() {
    std::vector<CombineSource> sources;
    for (const Source& s : sources_) {
        sources.push_back({s.name.toStdString(), s.bytes, s.videoOnly});
    }
    CombineOptions options;
    for (std::size_t i = 0; i < kCombineIntentCount; ++i) {
        if (intents_[i]) {
            options.intents.push_back(static_cast<CombineIntent>(i));
        }
    }
    options.identity = static_cast<std::size_t>(identity_);
    options.maxBlocks = static_cast<std::size_t>(maxBlocks_);
    options.currentYear = CurrentYear();
    result_ = CombineEdids(sources, options);
    emit changed();
}

QStringList CombineTool::deviceOutputs() const {
    QStringList items;
    if (!connection_.connected() || connection_.devices().count == 0) {
        return items;
    }
    for (int i = 0; i < edidTool_.counts().outputs; ++i) {
        items << QString::fromStdString(
            NodeItemText({NodeKind::Output, static_cast<std::uint8_t>(i)}));
    }
    return items;
}

std::optional<NodeRef> CombineTool::deviceOutput(int index) const {
    if (index < 0 || index >= deviceOutputs().size()) {
        return std::nullopt;
    }
    return NodeRef{NodeKind::Output, static_cast<std::uint8_t>(index)};
}

QStringList CombineTool::uploadTargets() const {
    QStringList items;
    if (!connection_.connected() || connection_.devices().count == 0) {
        return items;
    }
    for (const std::string& item : UploadListItems(edidTool_.counts())) {
        items << QString::fromStdString(item);
    }
    return items;
}

bool CombineTool::save(const QString& path, QString* error) const {
    if (!written()) {
        *error = QString::fromStdString(result_.error);
        return false;
    }
    const QByteArray bytes(reinterpret_cast<const char*>(result_.bytes.data()),
                           static_cast<qsizetype>(result_.bytes.size()));
    return WriteFileAtomically(path, bytes, error);
}

bool CombineTool::fitsImage(QString* error) const {
    if (!written()) {
        *error = QString::fromStdString(result_.error);
        return false;
    }
    if (result_.bytes.size() > kEdidSize) {
        *error = tr("The result has more than two blocks; combine for 2 blocks.");
        return false;
    }
    return true;
}

bool CombineTool::toCreator(QString* error) {
    if (!fitsImage(error)) {
        return false;
    }
    EdidImage image{};
    std::copy(result_.bytes.begin(), result_.bytes.end(), image.begin());
    if (result_.bytes.size() < kEdidSize) {
        std::fill(image.begin() + static_cast<std::ptrdiff_t>(result_.bytes.size()), image.end(),
                  std::uint8_t{0xFF});
    }
    return edidTool_.loadImage(image);
}

bool CombineTool::upload(int target, QString* error) {
    const std::optional<NodeRef> node = NodeFromUploadListIndex(edidTool_.counts(), target);
    if (!fitsImage(error) || !node || connection_.busy()) {
        return false;
    }
    EdidImage image{};
    std::fill(image.begin(), image.end(), std::uint8_t{0xFF});
    std::copy(result_.bytes.begin(), result_.bytes.end(), image.begin());
    const bool done = edidTool_.uploadImage(*node, image) == EdidControllerTool::Outcome::Done;
    *error = done ? QString() : edidTool_.lastError();
    return done;
}

} // namespace lvx
