// The fuzzers' starting inputs and the inputs they found worth keeping, read
// back the way each fuzzer reads them: the first byte picks the kind or the
// extension, the rest is the file. Starting inputs are well formed and must
// load; kept inputs must only fail cleanly or load.
#include "failure.h"
#include "mappicture.h"
#include "metafilerenderer.h"

#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

namespace kelvora {
namespace {

struct Input
{
    QString path;
    QByteArray bytes;
};

std::vector<Input> inputsUnder(const QString& directory)
{
    std::vector<Input> inputs;
    QDirIterator it(directory, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        if (file.open(QIODevice::ReadOnly))
            inputs.push_back({file.fileName(), file.readAll()});
    }
    return inputs;
}

QString inputDir(const char* area, const char* kind)
{
    return QStringLiteral(KELVORA_TEST_DATA_DIR "/%1/%2")
        .arg(QLatin1String(area), QLatin1String(kind));
}

// Returns whether the metafile rendered; a failure must be a Failure.
bool playMetafile(const QByteArray& input)
{
    const auto* data = reinterpret_cast<const unsigned char*>(input.constData());
    const auto kind = data[0] & 1 ? MetafileRenderer::Kind::Emf : MetafileRenderer::Kind::Wmf;
    try {
        const MetafileRenderer renderer(kind, data + 1, std::size_t(input.size() - 1), 96);
        QImage target(64, 64, QImage::Format_RGB32);
        target.fill(Qt::white);
        QPainter painter(&target);
        renderer.render(painter, QRectF(0, 0, 64, 64));
        return true;
    } catch (const Failure&) {
        return false;
    }
}

bool loadPicture(const QByteArray& input)
{
    static const char* const extensions[] = {"bmp", "ico", "gif", "jpg", "JPEG", "wmf", "emf"};
    const auto* data = reinterpret_cast<const unsigned char*>(input.constData());
    try {
        const MapPicture picture = MapPicture::fromData(
            data + 1, std::size_t(input.size() - 1), QString::fromLatin1(extensions[data[0] % 7]));
        QImage target(32, 32, QImage::Format_RGB32);
        QPainter painter(&target);
        picture.draw(painter, QRectF(0, 0, 32, 32), QRectF(QPointF(0, 0), QSizeF(picture.size())));
        return !picture.size().isEmpty();
    } catch (const Failure&) {
        return false;
    }
}

struct Area
{
    const char* name;
    bool (*play)(const QByteArray&);
};

const Area areas[] = {{"metafile", playMetafile}, {"picture", loadPicture}};

TEST(FuzzInputs, StartingInputsLoad)
{
    for (const Area& area : areas) {
        const auto inputs = inputsUnder(inputDir(area.name, "seeds"));
        EXPECT_FALSE(inputs.empty()) << area.name;
        for (const Input& input : inputs)
            EXPECT_TRUE(area.play(input.bytes)) << input.path.toStdString();
    }
}

TEST(FuzzInputs, KeptInputsFailCleanlyOrLoad)
{
    for (const Area& area : areas) {
        for (const Input& input : inputsUnder(inputDir(area.name, "fuzz"))) {
            SCOPED_TRACE(input.path.toStdString());
            if (!input.bytes.isEmpty())
                area.play(input.bytes); // a crash or a sanitizer report fails the run
        }
    }
}

} // namespace
} // namespace kelvora
