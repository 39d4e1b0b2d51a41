// A .bin file of any contents through everything that reads one: ReadEdidFile (the
// program's Open), `linkvex-cli validate`, and `linkvex-cli analyze` in both its text and
// its JSON output, whose escaping must hold for any byte an EDID text field can carry. The
// input also serves as a chosen save name for BinSaveName.

#include "FuzzQt.h"
#include "FuzzSupport.h"

#include "cli/AnalyzeCommand.h"
#include "cli/CliContext.h"
#include "cli/EdidCommands.h"
#include "edid/EdidFile.h"
#include "edid/EdidFileIO.h"
#include "edid/EdidValidation.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <functional>

using namespace lvx;

namespace {

QString InputPath() {
    static QTemporaryDir dir;
    return dir.path() + QStringLiteral("/input.bin");
}

// What a subcommand writes to standard output.
std::string Captured(const std::function<int()>& run, int& status) {
    static const int sink = [] {
        char name[] = "/tmp/linkvex-fuzz-stdout-XXXXXX";
        const int fd = mkstemp(name);
        unlink(name);
        return fd;
    }();
    LVX_FUZZ_CHECK(sink >= 0);
    std::fflush(stdout);
    LVX_FUZZ_CHECK(ftruncate(sink, 0) == 0);
    lseek(sink, 0, SEEK_SET);
    const int saved = dup(STDOUT_FILENO);
    dup2(sink, STDOUT_FILENO);
    status = run();
    std::fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);

    std::string text;
    lseek(sink, 0, SEEK_SET);
    char buffer[4096];
    ssize_t n;
    while ((n = read(sink, buffer, sizeof buffer)) > 0) {
        text.append(buffer, static_cast<std::size_t>(n));
    }
    return text;
}

// The checks of a .bin file, computed here byte by byte.
bool LooksValid(const EdidImage& image) {
    static constexpr std::uint8_t kHeader[8] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
    if (!std::equal(kHeader, kHeader + 8, image.begin())) {
        return false;
    }
    unsigned sum0 = 0;
    unsigned sum1 = 0;
    for (std::size_t i = 0; i < 128; ++i) {
        sum0 += image[i];
        sum1 += image[128 + i];
    }
    const std::uint8_t extensions = image[126];
    return sum0 % 256 == 0 && extensions <= 1 && (extensions == 0 || sum1 % 256 == 0);
}

void CheckSaveName(const std::uint8_t* data, std::size_t size) {
    const std::string chosen(reinterpret_cast<const char*>(data), std::min<std::size_t>(size, 512));
    const std::string name = BinSaveName(chosen);
    if (name.empty()) {
        LVX_FUZZ_CHECK(chosen.empty() || chosen.back() == '/');
        return;
    }
    LVX_FUZZ_CHECK(name.size() >= 4 && name.compare(name.size() - 4, 4, ".bin") == 0);
    LVX_FUZZ_CHECK(name.compare(0, chosen.size(), chosen) == 0);
    LVX_FUZZ_CHECK(name.size() == chosen.size() || name.size() == chosen.size() + 4);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::EnsureApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CheckSaveName(data, size);

    const QString path = InputPath();
    {
        QFile file(path);
        LVX_FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        LVX_FUZZ_CHECK(file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size)) ==
                       static_cast<qint64>(size));
    }

    const std::optional<EdidImage> image = ReadEdidFile(path);
    LVX_FUZZ_CHECK(image.has_value());
    for (std::size_t i = 0; i < kEdidSize; ++i) {
        LVX_FUZZ_CHECK((*image)[i] == (i < size ? data[i] : 0xFF));
    }
    const bool valid = LooksValid(*image);
    const std::uint16_t error = ValidationError(*image);
    LVX_FUZZ_CHECK(valid == (error == 0));
    LVX_FUZZ_CHECK((error & (error - 1)) == 0); // one bit at most
    LVX_FUZZ_CHECK(InvalidStatusMessage(error).empty() == valid);

    cli::CliContext context;
    context.arguments << path;
    int status = -1;
    const std::string validated = Captured([&] { return cli::RunValidate(context); }, status);
    LVX_FUZZ_CHECK(status == (valid ? cli::kExitOk : cli::kExitFailure));
    LVX_FUZZ_CHECK(std::count(validated.begin(), validated.end(), '\n') == 1);

    const std::string text = Captured([&] { return cli::RunAnalyze(context); }, status);
    LVX_FUZZ_CHECK(status == cli::kExitOk);
    LVX_FUZZ_CHECK(std::count(text.begin(), text.end(), '\n') == 16); // file and 15 facts

    context.json = true;
    const std::string json = Captured([&] { return cli::RunAnalyze(context); }, status);
    LVX_FUZZ_CHECK(status == cli::kExitOk);
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(
        QByteArray(json.data(), static_cast<qsizetype>(json.size())), &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        std::fprintf(stderr, "analyze --json wrote no JSON (%s):\n%s\n",
                     qPrintable(parseError.errorString()), json.c_str());
    }
    LVX_FUZZ_CHECK(parseError.error == QJsonParseError::NoError);
    LVX_FUZZ_CHECK(document.isArray() && document.array().size() == 1);
    const QJsonObject object = document.array().at(0).toObject();
    LVX_FUZZ_CHECK(object.value(QStringLiteral("valid")).toBool() == valid);
    LVX_FUZZ_CHECK(object.value(QStringLiteral("decoded")).isObject() == valid);
    return 0;
}
