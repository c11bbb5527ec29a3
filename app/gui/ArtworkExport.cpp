// velloquin-artwork-export FOLDER
// Writes the program's pictures as the files under app/art/ that both windows
// load: the icons and the pointer as .ico/.cur files (32-bit images with
// alpha), the instruction picture as a 24-bit .bmp.
#include "ArtworkDrawing.h"

#include "app/FormLayout.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>

#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

void Put16(Bytes& out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void Put32(Bytes& out, uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

// One image of an icon or cursor file: a BITMAPINFOHEADER (40 bytes: size,
// width, height counting both masks, planes 1, 32 bits, no compression, image
// size, resolution, colours) followed by the colour rows bottom up (BGRA) and
// the AND mask rows (1 bit a pixel, rows padded to 4 bytes, all 0: the alpha
// channel decides).
Bytes IconImage(const QImage& source) {
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    const auto width = static_cast<uint32_t>(image.width());
    const auto height = static_cast<uint32_t>(image.height());
    const uint32_t maskRow = (width + 31) / 32 * 4;
    Bytes out;
    Put32(out, 40);
    Put32(out, width);
    Put32(out, height * 2);
    Put16(out, 1);
    Put16(out, 32);
    Put32(out, 0);
    Put32(out, width * height * 4 + maskRow * height);
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, 0);
    for (int y = image.height() - 1; y >= 0; --y) {
        const auto* row = reinterpret_cast<const uint32_t*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            Put32(out, row[x]); // ARGB32 in memory is B, G, R, A
    }
    out.insert(out.end(), static_cast<size_t>(maskRow) * height, 0);
    return out;
}

// The file: ICONDIR (6 bytes: reserved 0, type 1 icon or 2 cursor, count),
// one 16-byte ICONDIRENTRY per image (width, height, colours 0, reserved 0,
// planes or the hot spot's x, bits or the hot spot's y, size, offset), then
// the images.
Bytes IconFile(const std::vector<QImage>& images, bool cursor, int hotX = 0, int hotY = 0) {
    std::vector<Bytes> bodies;
    for (const QImage& image : images)
        bodies.push_back(IconImage(image));
    Bytes out;
    Put16(out, 0);
    Put16(out, cursor ? 2 : 1);
    Put16(out, static_cast<uint32_t>(images.size()));
    uint32_t offset = 6 + 16 * static_cast<uint32_t>(images.size());
    for (size_t i = 0; i < images.size(); ++i) {
        out.push_back(static_cast<uint8_t>(images[i].width() >= 256 ? 0 : images[i].width()));
        out.push_back(static_cast<uint8_t>(images[i].height() >= 256 ? 0 : images[i].height()));
        out.push_back(0);
        out.push_back(0);
        Put16(out, cursor ? static_cast<uint32_t>(hotX) : 1);
        Put16(out, cursor ? static_cast<uint32_t>(hotY) : 32);
        Put32(out, static_cast<uint32_t>(bodies[i].size()));
        Put32(out, offset);
        offset += static_cast<uint32_t>(bodies[i].size());
    }
    for (const Bytes& body : bodies)
        out.insert(out.end(), body.begin(), body.end());
    return out;
}

bool Write(const QString& path, const Bytes& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) &&
           file.write(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<qint64>(bytes.size())) == static_cast<qint64>(bytes.size());
}

} // namespace

int main(int argc, char* argv[]) {
    QGuiApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: velloquin-artwork-export FOLDER\n");
        return 2;
    }
    using namespace velloquin;
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    std::vector<QImage> programSizes;
    const QIcon program = gui::DrawProgramIcon();
    for (int size : {16, 24, 32, 48, 64, 128})
        programSizes.push_back(program.pixmap(size, size).toImage());
    const QCursor cursor = gui::DrawLinkCursor();
    const bool ok = Write(folder.filePath(app::kProgramIconFile), IconFile(programSizes, false)) &&
                    Write(folder.filePath(app::kStepsIconFile),
                          IconFile({gui::DrawStepsIcon().toImage()}, false)) &&
                    Write(folder.filePath(app::kProgressIconFile),
                          IconFile({gui::DrawProgressIcon().toImage()}, false)) &&
                    Write(folder.filePath(app::kLinkCursorFile),
                          IconFile({cursor.pixmap().toImage()}, true, cursor.hotSpot().x(),
                                   cursor.hotSpot().y())) &&
                    gui::DrawInstructionPicture()
                        .toImage()
                        .convertToFormat(QImage::Format_RGB888)
                        .save(folder.filePath(app::kInstructionFile), "BMP");
    if (!ok) std::fprintf(stderr, "velloquin-artwork-export: cannot write into %s\n", argv[1]);
    return ok ? 0 : 1;
}
