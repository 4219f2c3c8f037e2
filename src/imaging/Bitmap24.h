#pragma once
#include <QtGlobal>
#include <cstdint>
#include <vector>

class QImage;

// A 24-bit device-independent bitmap kept in memory exactly as the platform
// lays one out: rows bottom-up (the first row in memory is the bottom image
// row), 3 bytes per pixel in the order blue, green, red, each row padded to a
// multiple of 4 bytes. The JPEG writer encodes straight from this memory.
// Pictures come in and go out as QImage.
class Bitmap24 {
public:
    // The 40-byte bitmap information header that describes the pixel memory.
    struct BitmapInfoHeader {
        quint32 biSize = 40;
        qint32 biWidth = 0;
        qint32 biHeight = 0;
        quint16 biPlanes = 1;
        quint16 biBitCount = 24;
        quint32 biCompression = 0;   // BI_RGB
        quint32 biSizeImage = 0;
        qint32 biXPelsPerMeter = 0;
        qint32 biYPelsPerMeter = 0;
        quint32 biClrUsed = 0;
        quint32 biClrImportant = 0;
    };

    Bitmap24() = default;
    ~Bitmap24();
    Bitmap24(const Bitmap24&) = delete;
    Bitmap24& operator=(const Bitmap24&) = delete;

    // Sizes the section to the picture and copies the picture into it.
    void CreateFromPicture(const QImage& picture);
    // Frees any earlier section and makes a new one, zero-filled. False (and
    // empty) when width or height is not positive or memory is short.
    bool Create(int width, int height);

    int BytesPerScanLine() const;
    int Width() const { return header_.biWidth; }
    int Height() const { return header_.biHeight; }
    const BitmapInfoHeader& header() const { return header_; }

    // Copies the source's block at (srcLeft, srcTop) into the section at
    // (0, 0). A width or height below 0 means the section's full size.
    void LoadPictureBlt(const QImage& source, int srcLeft = 0, int srcTop = 0, int width = -1, int height = -1);

    uint8_t* DIBSectionBitsPtr() { return bits_.empty() ? nullptr : bits_.data(); }
    const uint8_t* DIBSectionBitsPtr() const { return bits_.empty() ? nullptr : bits_.data(); }

    void ClearUp();

    // The picture upright, as a 32-bit image (empty when the section is).
    QImage toImage() const;

    static int bytesPerScanLine(int width) { return (width * 3 + 3) & ~3; }

private:
    uint8_t* row(int memoryRow) { return bits_.data() + std::size_t(memoryRow) * BytesPerScanLine(); }
    const uint8_t* row(int memoryRow) const { return bits_.data() + std::size_t(memoryRow) * BytesPerScanLine(); }

    BitmapInfoHeader header_;
    std::vector<uint8_t> bits_;
};
