// Capture: a site file written from the devices as they are.
#include "connection/ConnectionController.h"
#include "edid/BackupManifest.h"
#include "edid/BackupStore.h"
#include "edid/DeviceBackupTool.h"
#include "edid/EdidFileIO.h"
#include "edid/EdidTransfer.h"
#include "edid/EdidValidation.h"
#include "edid/InputModeTool.h"
#include "site/SiteTool.h"

#include <QFileInfo>

#include <algorithm>

namespace lvx {

namespace {

QString Text(const std::string& utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string Latin1ToUtf8(const std::string& latin1) {
    return QString::fromLatin1(latin1.data(), static_cast<qsizetype>(latin1.size()))
        .toUtf8()
        .toStdString();
}

// Writes a captured EDID under its content name unless the folder already holds it.
bool StoreEdid(const QDir& edids, const std::string& name, const EdidImage& image, bool& written,
               QString& error) {
    const QString path = edids.filePath(Text(name));
    const std::optional<EdidImage> there = ReadEdidFile(path);
    written = false;
    if (there && *there == image && QFileInfo(path).size() == static_cast<qint64>(kEdidSize)) {
        return true;
    }
    written = true;
    return WriteFileAtomically(
        path, QByteArray(reinterpret_cast<const char*>(image.data()), kEdidSize), &error);
}

} // namespace

bool SiteTool::captureDevice(int row, const QDir& edids, CapturedDevice& device,
                             CaptureResult& result) {
    if (!selectRow(row)) {
        return false;
    }
    const DeviceRecord& r = connection_.devices().current();
    const DeviceRow& listed = connection_.rows()[static_cast<std::size_t>(row - 1)];
    const bool serial = r.isSerial();
    device.locator = serial ? SiteLocator::Port : SiteLocator::Mac;
    device.where = serial ? listed.interface : NormalizeMac(listed.mac).value_or(listed.mac);
    device.product = Latin1ToUtf8(r.productString);
    device.model = Latin1ToUtf8(r.model);
    const NodeCounts counts{r.inputCount, r.outputCount, r.userEdidCount, r.internalEdidCount};
    const FlowGuard flow(connection_);
    beginLink(serial);
    for (const NodeRef node : AllNodes(counts)) {
        if (node.kind != NodeKind::Input && node.kind != NodeKind::User) {
            continue;
        }
        if (!linkUp() || !transfer_.readNode(node) ||
            ValidationError(connection_.deviceEdidImage()) != 0) {
            device.unread.push_back(node);
            continue;
        }
        const EdidImage& read = connection_.deviceEdidImage();
        const std::string name = CapturedEdidName(
            read, Sha256Hex(QByteArray(reinterpret_cast<const char*>(read.data()), kEdidSize)));
        bool written = false;
        QString error;
        if (!StoreEdid(edids, name, read, written, error)) {
            result.error = QStringLiteral("cannot write %1: %2").arg(Text(name), error);
            device.unread.push_back(node);
            continue;
        }
        result.edidFiles += written ? 1 : 0;
        device.nodes.push_back({node, name, 0});
    }
    for (int input = 0; serial && input < counts.inputs; ++input) {
        const int mode =
            linkUp() ? modes_.readModeInFlow(input, DeviceBackupTool::kModeAnswerWaitMs) : -1;
        const std::string source = ModeSourceName(mode, ModeCountsOf(counts));
        if (mode < 0 || source.empty()) {
            device.unreadModes.push_back(input);
        } else {
            device.modes.push_back({input, source, 0});
        }
    }
    endLink(serial);
    return true;
}

SiteTool::CaptureResult SiteTool::capture(const QString& sitePath) {
    CaptureResult result;
    cancelled_ = false;
    SiteFile old;
    SiteComments comments;
    const bool hadFile = QFileInfo::exists(sitePath);
    if (hadFile) {
        QString error;
        const std::optional<QByteArray> text =
            ReadFileHead(sitePath, static_cast<qint64>(kSiteFileMaxBytes), &error);
        std::vector<SiteError> errors;
        if (!text || static_cast<std::size_t>(text->size()) > kSiteFileMaxBytes ||
            !ParseSiteFile(
                std::string_view(text->constData(), static_cast<std::size_t>(text->size())), old,
                errors)) {
            result.error = !text ? error
                           : errors.empty()
                               ? QStringLiteral("%1 is too large to be a site file").arg(sitePath)
                               : Text(FormatSiteError(sitePath.toStdString(), errors.front()));
            return result;
        }
        comments = CollectComments(
            std::string_view(text->constData(), static_cast<std::size_t>(text->size())), old);
    }
    const QDir base = QFileInfo(sitePath).absoluteDir();
    const QDir edids(base.filePath(Text(old.edids.value_or("edids"))));
    if (!QDir().mkpath(edids.path())) {
        result.error = QStringLiteral("cannot create the folder %1").arg(edids.path());
        return result;
    }
    if (!connection_.connected()) {
        search();
    }
    std::vector<CapturedDevice> captured;
    const int count = connection_.connected() ? connection_.devices().count : 0;
    for (int row = 1; row <= count && !cancelled_; ++row) {
        const DeviceRow& listed = connection_.rows()[static_cast<std::size_t>(row - 1)];
        const bool serial =
            connection_.devices().records[static_cast<std::size_t>(row - 1)].isSerial();
        if (listed.isp || (!serial && !onlyMacs.empty() &&
                           std::find(onlyMacs.begin(), onlyMacs.end(),
                                     NormalizeMac(listed.mac).value_or("")) == onlyMacs.end())) {
            continue;
        }
        emit progress(row - 1, count, QStringLiteral("Reading device %1").arg(row));
        CapturedDevice device;
        if (captureDevice(row, edids, device, result)) {
            captured.push_back(std::move(device));
        } else if (result.error.isEmpty()) {
            result.error = QStringLiteral("device %1 cannot be reached").arg(row);
        }
    }
    return finishCapture(sitePath, hadFile ? &old : nullptr, comments, captured, result);
}

SiteTool::CaptureResult SiteTool::finishCapture(const QString& sitePath, const SiteFile* old,
                                                const SiteComments& comments,
                                                const std::vector<CapturedDevice>& captured,
                                                CaptureResult& result) {
    std::vector<std::string> notes;
    const SiteFile merged = MergeCapture(old, captured, notes);
    for (const CapturedDevice& d : captured) {
        for (const NodeRef node : d.unread) {
            notes.push_back(d.where + ": " + NodeName(node) + " not captured (no valid EDID)");
        }
        for (const int input : d.unreadModes) {
            notes.push_back(d.where + ": input" + std::to_string(input + 1) + " mode not captured");
        }
    }
    for (const std::string& n : notes) {
        result.notes << Text(n);
    }
    result.devices = static_cast<int>(captured.size());
    if (captured.empty() && result.error.isEmpty()) {
        result.error = QStringLiteral("no device was found");
    }
    if (captured.empty()) {
        return result; // a file the user had is not rewritten from nothing
    }
    result.siteText = Text(RenderSiteFile(merged, comments));
    QString error;
    if (!WriteFileAtomically(sitePath, result.siteText.toUtf8(), &error)) {
        result.error = QStringLiteral("cannot write %1: %2").arg(sitePath, error);
        return result;
    }
    result.ok = result.error.isEmpty();
    return result;
}

} // namespace lvx
